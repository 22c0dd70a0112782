// The memory figures on Windows: the system's and the job object's.
#include <windows.h>

#include "os.h"
#include "win.h"

namespace setup::os {

Memory MemoryNow() {
    Memory memory;
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (GlobalMemoryStatusEx(&status)) memory.available = status.ullAvailPhys;
    return memory;
}

std::uint64_t ChildPeak() {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION info{};
    if (!s_job || !QueryInformationJobObject(s_job, JobObjectExtendedLimitInformation, &info,
                                             sizeof info, nullptr))
        return 0;
    return info.PeakProcessMemoryUsed;
}

// Windows has no killer: an allocation fails, and the program says so.
Kills MemoryKills() {
    return {};
}

}  // namespace setup::os
