// The memory figures on Linux: /proc's and the control groups' own files.
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "os.h"

namespace setup::os {

namespace {

namespace fs = std::filesystem;

// A limit this large is the kernel's way of saying there is none.
constexpr std::uint64_t kNoLimit = std::uint64_t{1} << 60;

// The figure after `key` in a file of "key value" lines (/proc/meminfo's
// "MemAvailable:" in kB, memory.stat's in bytes); 0 when it isn't there.
std::uint64_t Field(const fs::path& file, const std::string& key) {
    std::ifstream in(file);
    std::string name;
    std::uint64_t value = 0;
    while (in >> name >> value) {
        if (name == key) return value;
        in.ignore(1 << 12, '\n');
    }
    return 0;
}

// The first figure of a file ("max" reads as none); 0 when it can't be read.
std::uint64_t Figure(const fs::path& file) {
    std::ifstream in(file);
    std::string text;
    in >> text;
    if (text == "max") return kNoLimit;
    return std::strtoull(text.c_str(), nullptr, 10);
}

// What the limits of a control group and of each above it leave: limit
// less usage, the page cache counted as free: the kernel drops it for
// what the build needs (all but tmpfs files, which stay in memory).
void Tighten(fs::path group, const fs::path& root, bool v2, Memory& memory) {
    const char* limit = v2 ? "memory.max" : "memory.limit_in_bytes";
    const char* usage = v2 ? "memory.current" : "memory.usage_in_bytes";
    const char* cache = v2 ? "file" : "total_cache";
    const char* shmem = v2 ? "shmem" : "total_shmem";
    for (;; group = group.parent_path()) {
        std::uint64_t cap = Figure(group / limit);
        if (cap > 0 && cap < kNoLimit) {
            // The cache's figure holds tmpfs files too, which can't be dropped.
            std::uint64_t used = Figure(group / usage),
                          cached = Field(group / "memory.stat", cache),
                          shared = Field(group / "memory.stat", shmem);
            std::uint64_t free = cached - std::min(cached, shared);
            std::uint64_t left = cap - std::min(cap, used - std::min(used, free));
            memory.limit = memory.limit ? std::min(memory.limit, cap) : cap;
            memory.available = std::min(memory.available, left);
        }
        if (group == root || !group.has_relative_path() || group == group.parent_path()) break;
    }
}

// The setup's own memory control group, where it is mounted.
struct Group {
    fs::path path, root;
    bool v2 = false;
};

std::vector<Group> Groups() {
    std::vector<Group> found;
    // "4:memory:/path" for v1's memory controller, "0::/path" for v2.
    std::ifstream groups("/proc/self/cgroup");
    for (std::string line; std::getline(groups, line);) {
        std::size_t first = line.find(':'), second = line.find(':', first + 1);
        if (second == std::string::npos) continue;
        std::string controllers = line.substr(first + 1, second - first - 1);
        std::string path = line.substr(second + 1);
        bool v2 = line.compare(0, first, "0") == 0 && controllers.empty();
        if (!v2 && controllers != "memory") continue;
        for (fs::path root :
             {"/sys/fs/cgroup/memory", "/sys/fs/cgroup", "/sys/fs/cgroup/unified"}) {
            if (v2 == (root == "/sys/fs/cgroup/memory")) continue;
            std::error_code ec;
            if (fs::exists(root / "cgroup.procs", ec))
                found.push_back({path.size() > 1 ? root / path.substr(1) : root, root, v2});
        }
    }
    return found;
}

}  // namespace

Memory MemoryNow() {
    Memory memory;
    memory.available = Field("/proc/meminfo", "MemAvailable:") * 1024;
    for (const Group& group : Groups()) Tighten(group.path, group.root, group.v2, memory);
    return memory;
}

std::uint64_t ChildPeak() {
    rusage usage{};
    if (getrusage(RUSAGE_CHILDREN, &usage) != 0) return 0;
    return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;  // kB
}

Kills MemoryKills() {
    Kills kills;
    for (const Group& group : Groups()) {
        // The root's count is the whole system's, as /proc/vmstat's.
        if (group.path == group.root) continue;
        fs::path file = group.path / (group.v2 ? "memory.events" : "memory.oom_control");
        std::error_code ec;
        if (fs::exists(file, ec)) return {Field(file, "oom_kill"), true};
    }
    kills.count = Field("/proc/vmstat", "oom_kill");
    return kills;
}

}  // namespace setup::os
