// How many compiles the build runs at once. The project's build script
// builds with `cmake --build`, which takes the count from
// CMAKE_BUILD_PARALLEL_LEVEL (CMake 3.12 and later); without it Ninja runs
// its own default, logical cores + 2. Generated code takes far more memory
// a compile than that default allows for on an ordinary machine.
#pragma once

#include <cstdint>
#include <string>

#include "os.h"

namespace setup {

// What one compile of the game's code may need: its large generated units
// take 1-2 GB each to compile with clang, so 2 GB holds the usual large one
// (an extreme unit took 7.6 GB; the count goes down further should it fail).
constexpr std::uint64_t kCompileBudget = std::uint64_t{2} << 30;

// Ninja's default count for that many logical cores.
int DefaultCount(unsigned cores);

// The count to start with: the user's own CMAKE_BUILD_PARALLEL_LEVEL (`user`,
// 0 when unset), else what the available memory holds at kCompileBudget a
// compile, when that is below the default for `cores` (at least 1); 0
// leaves the default. `why` gets the line for setup.log, with the figures.
int StartCount(int user, unsigned cores, const os::Memory& memory, std::wstring& why);

// The count after `failed` compiles at once ran out of memory: half of it,
// and no more than the available memory holds at the largest compile's
// `peak` when both are known; at least 1.
int NextCount(int failed, std::uint64_t peak, std::uint64_t available);

// The count for one build: chosen and logged at the start, set for the
// build script while the stage lasts, then the user's own put back.
class Compiles {
  public:
    Compiles();
    ~Compiles();
    Compiles(const Compiles&) = delete;
    Compiles& operator=(const Compiles&) = delete;

    // After a build that ran out of memory (`cause`: the line that said
    // so) with `seen` compiles at once at most (0: unknown) and `peak` the
    // largest compile's memory (0: unknown): sets fewer and says so, or ends
    // the run where fewer can't help.
    void Fewer(int seen, std::uint64_t peak, const std::wstring& cause);

  private:
    void Set(int count);
    int count_ = 0;  // what the build was asked for; 0: the build tool's default
    int default_ = 0;
    bool userSet_ = false;
    std::wstring user_;
};

// Logs the largest memory one process of the build used since `before`
// (os::ChildPeak at the build's start) and returns it; 0 when unknown.
std::uint64_t LogPeak(std::uint64_t before);

}  // namespace setup
