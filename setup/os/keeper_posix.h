// The keeper: a small fork of the setup program between it and each child,
// so that nothing a child starts outlives the run, even one killed with
// SIGKILL or by a closed terminal's SIGHUP. It leads nothing itself; the
// command runs in a process group of its own that the keeper ends:
// - when the command ends (what it left running in its group goes with it);
// - on SIGUSR1 (a cancel, or the setup program's end);
// - when the setup program dies (the parent-death signal): then the keeper
//   also waits for every descendant (it is their subreaper) while it holds
//   the install folder's lock, so that a run started at once either finds
//   them all gone or is told that another run is working.
//
// Limits: a descendant that leaves the group (setsid, setpgid) escapes the
// kill, though not the keeper's wait when the setup program has died; the
// build tools this program runs do neither.
#pragma once

#include <sys/types.h>

namespace setup::os {

// What the keeper runs, all of it prepared before the fork: a fork of a
// multi-threaded program may make only async-signal-safe calls.
struct Command {
    const char* path;  // the program found on the PATH
    char* const* argv;
    const char* dir;  // the working folder, or null
    int output;       // the write end of the output pipe
    int report;       // close-on-exec; gets errno when the command can't start
    int lock;         // the install folder's lock file, or -1
    pid_t parent;
};

// In the keeper: runs the command and exits with its exit code.
[[noreturn]] void Keep(const Command& command);

// The install folder's lock file while a run holds it, or -1: the keepers
// hold it too.
void SetHeldLock(int fd);
int HeldLock();

}  // namespace setup::os
