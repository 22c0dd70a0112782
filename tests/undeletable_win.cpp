#include "undeletable.h"

#include <windows.h>

namespace setup::test {

struct Undeletable::Impl {
    HANDLE file;
};

Undeletable::Undeletable(const std::filesystem::path& file)
    : impl_(std::make_unique<Impl>(
          Impl{CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr)})) {}

Undeletable::~Undeletable() {
    if (impl_->file != INVALID_HANDLE_VALUE) CloseHandle(impl_->file);
}

}  // namespace setup::test
