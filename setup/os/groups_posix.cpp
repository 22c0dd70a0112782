#include "groups_posix.h"

#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "os.h"
#include "signal_posix.h"

namespace setup::os {

namespace {

std::mutex s_groupsLock;
std::vector<pid_t> s_groups;

void KillAll() {
    std::lock_guard<std::mutex> hold(s_groupsLock);
    for (pid_t keeper : s_groups) SignalProcess(keeper, SIGUSR1);
}

// No child may outlive the setup program, whichever way it ends normally.
struct AtExit {
    AtExit() { std::atexit(KillAll); }
} s_atExit;

}  // namespace

void AddGroup(pid_t group) {
    std::lock_guard<std::mutex> hold(s_groupsLock);
    s_groups.push_back(group);
}

void DropGroup(pid_t group) {
    std::lock_guard<std::mutex> hold(s_groupsLock);
    s_groups.erase(std::remove(s_groups.begin(), s_groups.end(), group), s_groups.end());
}

std::size_t GroupCount() {
    std::lock_guard<std::mutex> hold(s_groupsLock);
    return s_groups.size();
}

void EndChildren() {
    KillAll();
}

}  // namespace setup::os
