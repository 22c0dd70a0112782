#include <windows.h>
#include <bcrypt.h>

#include <vector>

#include "hash.h"

namespace setup {

struct Hasher::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE handle = nullptr;
    DWORD size = 0;
    ~State() {
        if (handle) BCryptDestroyHash(handle);
        if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
    }
};

Hasher::Hasher(Hash hash) : hash_(hash) {
    if (hash_ == Hash::kNone) return;
    state_ = std::make_unique<State>();
    const wchar_t* name =
        hash_ == Hash::kSha256 ? BCRYPT_SHA256_ALGORITHM : BCRYPT_SHA512_ALGORITHM;
    DWORD got = 0;
    if (BCryptOpenAlgorithmProvider(&state_->algorithm, name, nullptr, 0) != 0 ||
        BCryptGetProperty(state_->algorithm, BCRYPT_HASH_LENGTH,
                          reinterpret_cast<PUCHAR>(&state_->size), sizeof state_->size, &got,
                          0) != 0)
        state_->size = 0;
    Reset();
}

Hasher::~Hasher() = default;

void Hasher::Reset() {
    if (!state_ || !state_->algorithm) return;
    if (state_->handle) BCryptDestroyHash(state_->handle);
    state_->handle = nullptr;
    BCryptCreateHash(state_->algorithm, &state_->handle, nullptr, 0, nullptr, 0, 0);
}

void Hasher::Add(const char* data, std::size_t size) {
    if (!state_ || !state_->handle) return;
    // BCrypt takes at most 4 GB a call; chunks are far smaller.
    BCryptHashData(state_->handle, reinterpret_cast<PUCHAR>(const_cast<char*>(data)),
                   static_cast<ULONG>(size), 0);
}

std::string Hasher::Finish() {
    // A hash that couldn't be made answers empty, which matches no digest.
    if (!state_ || !state_->handle || state_->size == 0) return {};
    std::vector<UCHAR> digest(state_->size);
    bool done = BCryptFinishHash(state_->handle, digest.data(), state_->size, 0) == 0;
    Reset();
    if (!done) return {};
    return std::string(digest.begin(), digest.end());
}

}  // namespace setup
