#include <windows.h>

#include "cpu.h"

namespace setup::os {

long long JobCpuMs(void* job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION used{};
    if (!job || !QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &used,
                                           sizeof used, nullptr))
        return -1;
    // In units of 100 ns, ended processes included. None at all: the system
    // keeps no account (Wine doesn't), which tells nothing.
    long long total = used.TotalUserTime.QuadPart + used.TotalKernelTime.QuadPart;
    return total > 0 ? total / 10000 : -1;
}

}  // namespace setup::os
