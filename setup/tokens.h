// How many compiles the build may run at once while it runs, judged from
// the memory its compiles use and the memory left: the count behind the
// tokens that the setup's jobserver hands to the build tool.
#pragma once

#include <cstdint>
#include <deque>

namespace setup {

// One look at the build: its compiles now and the memory left.
struct Reading {
    int compiles = 0;             // compilers and linkers running
    std::uint64_t used = 0;       // their resident memory together
    std::uint64_t largest = 0;    // the largest of them
    std::uint64_t available = 0;  // the memory available; 0: unknown
};

// What a compile takes before any has been seen. Chosen so that a cap that
// holds two compiles of half a gigabyte starts at two, and the compiles it
// sees correct it either way as soon as one has ended.
constexpr std::uint64_t kFirstGuess = std::uint64_t{512} << 20;
// Room kept free beside what the compiles are expected to reach.
constexpr std::uint64_t kMargin = std::uint64_t{32} << 20;

class Tokens {
  public:
    // `most`: the build tool's own default, never exceeded.
    explicit Tokens(int most) : most_(most) {}

    // The compiles allowed at once now, from 1 (the one the build tool
    // always runs) to `most`.
    int Allowed(const Reading& now);
    // A compile has ended that used `peak` at most, seen `looks` times.
    void Ended(std::uint64_t peak, int looks);
    // After running out of memory with `failed` at once: never again more
    // than half of that, and a compile needs at least `peak`.
    void Fewer(int failed, std::uint64_t peak);
    // What a compile is taken to need now.
    std::uint64_t Need(std::uint64_t largest = 0) const;
    int Most() const { return most_; }

  private:
    int most_;
    std::uint64_t floor_ = 0;          // learned from running out of memory
    std::deque<std::uint64_t> ended_;  // the last compiles' peaks
};

}  // namespace setup
