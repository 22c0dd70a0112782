#include <windows.h>

#include "os.h"

namespace setup::os {

// The file is shared for everything, so that a backup or a scanner that opens
// it does no harm, and the run holds it with a lock only another run takes.
// Read access is all a lock needs, and a reader that shares only reading
// still lets it open. Not inheritable, so no child keeps the folder held.
FolderLock::FolderLock(const std::filesystem::path& file)
    : handle_(reinterpret_cast<std::intptr_t>(CreateFileW(
          file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr))) {
    HANDLE lock = reinterpret_cast<HANDLE>(handle_);
    // Another program that holds the file without sharing it isn't a run
    // (a run shares it): this run goes on without the lock.
    if (lock == INVALID_HANDLE_VALUE) return;
    OVERLAPPED whole{};
    if (LockFileEx(lock, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                   &whole))
        return;
    busy_ = GetLastError() == ERROR_LOCK_VIOLATION;
    CloseHandle(lock);
    handle_ = reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE);
}

// Closing the file lets go of the lock; the file stays, as on Linux.
FolderLock::~FolderLock() {
    HANDLE file = reinterpret_cast<HANDLE>(handle_);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

}  // namespace setup::os
