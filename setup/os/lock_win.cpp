#include <windows.h>

#include "os.h"

namespace setup::os {

// No sharing at all: a second open fails with a sharing violation for as long
// as this handle is open. Not inheritable, so no child keeps the folder held.
FolderLock::FolderLock(const std::filesystem::path& file)
    : handle_(reinterpret_cast<std::intptr_t>(
          CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, nullptr))) {
    if (reinterpret_cast<HANDLE>(handle_) == INVALID_HANDLE_VALUE)
        busy_ = GetLastError() == ERROR_SHARING_VIOLATION;
}

FolderLock::~FolderLock() {
    HANDLE file = reinterpret_cast<HANDLE>(handle_);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

}  // namespace setup::os
