// The Linux counterpart of the job object: every child of Run runs under a
// keeper (keeper_posix.h), registered here until it is reaped, so that a
// cancel can end each child together with everything it started. A keeper is
// dropped before it is reaped: its id can't be reused while it is here.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace setup::os {

void AddGroup(pid_t group);
void DropGroup(pid_t group);
// How many keepers are registered.
std::size_t GroupCount();

}  // namespace setup::os
