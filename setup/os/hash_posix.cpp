#include <openssl/evp.h>

#include "hash.h"

namespace setup {

struct Hasher::State {
    struct Free {
        void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
    };
    std::unique_ptr<EVP_MD_CTX, Free> context{EVP_MD_CTX_new()};
    const EVP_MD* md = nullptr;
};

Hasher::Hasher(Hash hash) : hash_(hash) {
    if (hash_ == Hash::kNone) return;
    state_ = std::make_unique<State>();
    state_->md = hash_ == Hash::kSha256 ? EVP_sha256() : EVP_sha512();
    Reset();
}

Hasher::~Hasher() = default;

void Hasher::Reset() {
    if (state_) EVP_DigestInit_ex(state_->context.get(), state_->md, nullptr);
}

void Hasher::Add(const char* data, std::size_t size) {
    if (state_) EVP_DigestUpdate(state_->context.get(), data, size);
}

std::string Hasher::Finish() {
    if (!state_) return {};
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned size = 0;
    EVP_DigestFinal_ex(state_->context.get(), digest, &size);
    Reset();
    return std::string(reinterpret_cast<char*>(digest), size);
}

}  // namespace setup
