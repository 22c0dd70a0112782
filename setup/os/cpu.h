// The processor time a run's child processes have used (os::Child::CpuMs),
// each platform's way, in milliseconds; -1 when the system can't tell.
#pragma once

namespace setup::os {

// The niceness a lowered child gets on Linux, as `nice` gives by default.
constexpr int kLower = 10;

// Linux: one process's, with its waited-for children's, in clock ticks.
long long CpuTicks(int pid);
long long JobCpuMs(void* job);  // Windows: every process the job held

}  // namespace setup::os
