#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unordered_map>

#include "cpu.h"

namespace setup::os {

namespace {

struct Times {
    int parent = 0;
    long long ticks = 0;  // its own and its waited-for children's, user and system
};

// From /proc/PID/stat: the fields after the name, which may hold spaces.
bool Read(const std::string& pid, Times& times) {
    std::ifstream file("/proc/" + pid + "/stat");
    std::string stat;
    if (!std::getline(file, stat)) return false;
    std::size_t close = stat.rfind(") ");
    if (close == std::string::npos) return false;
    std::istringstream fields(stat.substr(close + 2));
    std::string skip;
    long long utime = 0, stime = 0, cutime = 0, cstime = 0;
    fields >> skip >> times.parent;  // state, parent
    for (int field = 5; field < 14; ++field) fields >> skip;
    fields >> utime >> stime >> cutime >> cstime;
    times.ticks = utime + stime + cutime + cstime;
    return static_cast<bool>(fields);
}

}  // namespace

long long TreeCpuMs(int keeper) {
    std::unordered_map<int, Times> all;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        Times times;
        if (Read(name, times)) all[std::atoi(name.c_str())] = times;
    }
    if (!all.count(keeper)) return -1;
    // A process that ended and was waited for is counted in its parent's.
    long long ticks = 0;
    for (const auto& [pid, times] : all) {
        int up = pid;
        for (int depth = 0; up > 1 && up != keeper && depth < 64; ++depth) {
            auto found = all.find(up);
            up = found == all.end() ? 0 : found->second.parent;
        }
        if (up == keeper) ticks += times.ticks;
    }
    long hz = sysconf(_SC_CLK_TCK);
    return hz > 0 ? ticks * 1000 / hz : -1;
}

}  // namespace setup::os
