#include "memory_sign.h"

namespace setup {

namespace {

// The words of the tools that build the game: clang's and LLVM's ("LLVM
// ERROR: out of memory", "Allocation failed"), the C++ runtime's, GCC's
// ("virtual memory exhausted"), MSVC's (C1060 "compiler is out of heap
// space", LNK1102 "out of memory"), Windows' error 1455 as the system and
// Python word it, Python's own and the console's "Not enough memory".
constexpr std::string_view kSigns[] = {
    "out of memory",
    "Out of memory",
    "Allocation failed",
    "bad_alloc",
    "virtual memory exhausted",
    "out of heap space",
    "LNK1102",
    "paging file is too small",
    "error 1455",
    "WinError 1455",
    "MemoryError",
    "not enough memory",
    "Not enough memory",
    // A compiler the kernel ended, as the compiler driver and GCC tell it.
    "unable to execute command: Killed",
    "Killed signal terminated program",
};

}  // namespace

bool MemorySign(std::string_view line) {
    // A shell tells of its command ended by SIGKILL with this word alone.
    if (line == "Killed") return true;
    // A build tool's step line ("[12/345] Building ...") is most of the
    // output and only names a step: the table's scans are spared it.
    if (line.size() > 1 && line[0] == '[' && line[1] >= '0' && line[1] <= '9') return false;
    for (std::string_view sign : kSigns)
        if (line.find(sign) != std::string_view::npos) return true;
    return false;
}

}  // namespace setup
