// The only way this program signals another process on Linux. An id of 1 or
// less never gets a signal: kill(0, ...) reaches one's own process group,
// kill(-1, ...) every process the user owns, and 1 is init; a group id of 1
// or less is refused for the same reason. Both are plain system calls, safe
// in the keeper (a fork of a multi-threaded program).
#pragma once

#include <signal.h>
#include <sys/types.h>

namespace setup::os {

// Sends sig to the process; false when refused or failed.
inline bool SignalProcess(pid_t pid, int sig) {
    return pid > 1 && kill(pid, sig) == 0;
}

// Sends sig to every process of the group; false when refused or failed.
inline bool SignalGroup(pid_t group, int sig) {
    return group > 1 && kill(-group, sig) == 0;
}

}  // namespace setup::os
