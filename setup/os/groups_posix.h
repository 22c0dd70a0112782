// The Linux counterpart of the job object: every child of Run gets a process
// group of its own, registered here while it runs, so that a cancel can kill
// each child together with everything it started.
//
// Limits: a descendant that leaves the group (setsid, setpgid) escapes the
// kill, as does a daemon that double-forks into another session; the build
// tools this program runs do neither.
#pragma once

#include <sys/types.h>

namespace setup::os {

void AddGroup(pid_t group);
void DropGroup(pid_t group);

}  // namespace setup::os
