// Digests of downloads, computed as the bytes arrive: BCrypt on Windows,
// OpenSSL's libcrypto elsewhere.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace setup {

enum class Hash { kNone, kSha256, kSha512 };

class Hasher {
  public:
    explicit Hasher(Hash hash);
    ~Hasher();
    Hasher(const Hasher&) = delete;
    Hasher& operator=(const Hasher&) = delete;

    void Add(const char* data, std::size_t size);
    // The digest's raw bytes of everything added since the start (empty for
    // kNone); the hasher then starts over.
    std::string Finish();
    void Reset();

  private:
    struct State;
    Hash hash_;
    std::unique_ptr<State> state_;
};

}  // namespace setup
