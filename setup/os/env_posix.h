// The environment's lock. A thread that changes a variable while another
// reads the environment or forks (a child copies it as it is at that moment)
// may leave either with a table that is being rewritten.
#pragma once

#include <mutex>

namespace setup::os {

std::mutex& EnvLock();

}  // namespace setup::os
