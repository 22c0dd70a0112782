// The keeper: a small fork of the setup program between it and each child,
// so that nothing a child starts outlives the run, even one killed with
// SIGKILL (alone or with its whole process group) or by a closed terminal's
// SIGHUP. It runs in a process group of its own, so that a kill of the setup
// program's group leaves it to clean up; the command runs in another group,
// dies with the keeper (its parent-death signal), and the keeper, the
// subreaper of everything the command starts, ends it all:
// - when the command ends (what it left running goes with it, a daemon that
//   left the group by setsid or a double fork too);
// - on SIGUSR1 (a cancel, or the setup program's end);
// - when the setup program dies (the parent-death signal).
// It ends the command's group, then its own children over and over (each
// killed one's children come to it) until none is left or 5 s have passed,
// while it holds the install folder's lock: a run started at once either
// finds them all gone or is told that another run is working.
//
// Every signal goes through signal_posix.h, which never signals an id of 1
// or less.
//
// Limit: a descendant that runs as another user (a set-user-ID program)
// can't be signalled; the build tools this program runs don't.
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
    int nice;  // added to the keeper's and so the command's niceness
};

// The parent of a process named by its id's text, from /proc; 0 when it
// can't be read. Async-signal-safe.
pid_t ParentOf(const char* pid);

// In the keeper: runs the command and exits with its exit code.
[[noreturn]] void Keep(const Command& command);

// The install folder's lock file while a run holds it, or -1: the keepers
// hold it too.
void SetHeldLock(int fd);
int HeldLock();

}  // namespace setup::os
