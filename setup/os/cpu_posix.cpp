#include <fstream>
#include <sstream>
#include <string>

#include "cpu.h"

namespace setup::os {

// From /proc/PID/stat: the fields after the name, which may hold spaces. A
// process that ended and was waited for is counted in its parent's.
long long CpuTicks(int pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    if (!std::getline(file, stat)) return -1;
    std::size_t close = stat.rfind(") ");
    if (close == std::string::npos) return -1;
    std::istringstream fields(stat.substr(close + 2));
    std::string skip;
    long long utime = 0, stime = 0, cutime = 0, cstime = 0;
    for (int field = 3; field < 14; ++field) fields >> skip;
    fields >> utime >> stime >> cutime >> cstime;
    return fields ? utime + stime + cutime + cstime : -1;
}

}  // namespace setup::os
