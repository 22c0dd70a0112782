// How many compiles the build runs at once. The project's build script
// builds with `cmake --build`, which takes the count from
// CMAKE_BUILD_PARALLEL_LEVEL (CMake 3.12 and later); without it Ninja runs
// its own default, logical cores + 2, or, from Ninja 1.13 on, as many as a
// GNU make jobserver named in MAKEFLAGS gives it tokens for. Setup serves
// that jobserver and hands out tokens as the memory allows while the build
// runs; with an older Ninja it chooses a count once and goes on with fewer
// when the build runs out of memory.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "os.h"
#include "setup.h"
#include "tokens.h"

namespace setup {

// What one compile of the game's code may need: its large generated units
// take 1-2 GB each to compile with clang, so 2 GB holds the usual large one
// (an extreme unit took 7.6 GB; the count goes down further should it fail).
// The count chosen once, without a jobserver, is made from it.
constexpr std::uint64_t kCompileBudget = std::uint64_t{2} << 30;

// Ninja's default count for that many logical cores.
int DefaultCount(unsigned cores);

// Whether a program, by its file name, compiles or links ("clang++",
// "cl.exe", "x86_64-linux-gnu-g++-12", "ld.lld"): a build's other leaf
// processes (tee, a logger, Python) are no compiles.
bool Compiler(std::string_view name);
int CompileCount(const std::vector<Leaf>& leaves);

// A CMAKE_BUILD_PARALLEL_LEVEL's count; 0 when it isn't a positive count.
int UserCount(const std::wstring& text);

// Whether a Ninja that says `version` to --version takes part in a jobserver.
bool JobserverNinja(std::string_view version);

// The count to start with without a jobserver: the user's own (`user`, 0
// when unset), else what the available memory holds at kCompileBudget a
// compile, when that is below the default for `cores` (at least 1); 0
// leaves the default. `why` gets the line for setup.log, with the figures.
int StartCount(int user, unsigned cores, const os::Memory& memory, std::wstring& why);

// The count after `failed` compiles at once ran out of memory: half of it,
// and no more than the available memory holds at the largest compile's
// `peak` when both are known; at least 1.
int NextCount(int failed, std::uint64_t peak, std::uint64_t available);

// The count for one build: chosen and logged at the start, served or set
// for the build script while the stage lasts, then the user's own
// environment put back.
class Compiles {
  public:
    // `ninja`: what the build's Ninja says to --version; empty when unknown.
    explicit Compiles(const std::string& ninja);
    ~Compiles();
    Compiles(const Compiles&) = delete;
    Compiles& operator=(const Compiles&) = delete;

    // One look at the build's leaf processes while it runs.
    void Seen(const std::vector<Leaf>& leaves);
    // After a build that ran out of memory (`cause`: the line that said
    // so) with `seen` compiles at once at most (0: unknown) and `peak` the
    // largest compile's memory (0: unknown): sets fewer and says so, or ends
    // the run where fewer can't help.
    void Fewer(int seen, std::uint64_t peak, const std::wstring& cause);
    // Logs what the compiles did; `peak`: the largest process's memory.
    void Summary(std::uint64_t peak) const;

  private:
    void Set(int count);
    void Serve(const std::string& ninja, const os::Memory& memory);
    void Hand(int allowed);
    int count_ = 0;  // what the build was asked for; 0: the build tool's default
    int default_ = 0;
    bool userSet_ = false, flagsSet_ = false, served_ = false;
    std::wstring user_, flags_;
    // The jobserver, while it serves the build.
    std::unique_ptr<os::Jobserver> jobs_;
    Tokens tokens_{1};
    int out_ = 0;          // tokens handed out and not taken back
    int mostAllowed_ = 1;  // the most compiles the tokens allowed at once
    struct Watched {
        std::uint64_t peak = 0;  // its most memory so far
        int looks = 0;
    };
    std::map<long long, Watched> running_;
    int most_ = 0;  // the most compiles seen at once
    std::uint64_t largest_ = 0;
    std::chrono::steady_clock::duration held_{};
    std::chrono::steady_clock::time_point last_{};
};

// The largest memory one process of the build used since `before`
// (os::ChildPeak at the build's start); 0 when unknown.
std::uint64_t Peak(std::uint64_t before);

}  // namespace setup
