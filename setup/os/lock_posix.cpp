#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "keeper_posix.h"
#include "os.h"

namespace setup::os {

FolderLock::FolderLock(const std::filesystem::path& file)
    : handle_(open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    if (handle_ < 0) return;
    if (flock(static_cast<int>(handle_), LOCK_EX | LOCK_NB) == 0) {
        SetHeldLock(static_cast<int>(handle_));
        return;
    }
    busy_ = errno == EWOULDBLOCK;
    close(static_cast<int>(handle_));
    handle_ = -1;
}

// Closing the file lets go of the lock. The file itself stays: deleting it
// would let a run that opened it just before lock a file nobody else sees.
FolderLock::~FolderLock() {
    if (handle_ < 0) return;
    if (HeldLock() == static_cast<int>(handle_)) SetHeldLock(-1);
    close(static_cast<int>(handle_));
}

}  // namespace setup::os
