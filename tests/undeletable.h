// Keeps one file from being deleted for as long as it lives: on Linux its
// folder loses write permission, on Windows the file is held open without
// delete sharing.
#pragma once

#include <filesystem>
#include <memory>

namespace setup::test {

class Undeletable {
  public:
    explicit Undeletable(const std::filesystem::path& file);
    ~Undeletable();
    Undeletable(const Undeletable&) = delete;
    Undeletable& operator=(const Undeletable&) = delete;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace setup::test
