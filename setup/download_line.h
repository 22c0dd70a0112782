// A download's status line with its speed and the time left, as users of
// other downloaders expect ("Downloading CMake: 12 MB of 38 MB, 8.1 MB/s,
// 4 s left"). Both front ends show it.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>

namespace setup {

class DownloadLine {
  public:
    using Clock = std::chrono::steady_clock;

    // The text for one progress report of a download. A new label, or fewer
    // bytes than before (the download started again), starts a new download.
    std::wstring Text(const wchar_t* label, std::uint64_t received, std::uint64_t length,
                      Clock::time_point now);
    // ", 8.1 MB/s, 4 s left" for a count of bytes that grows (fewer than
    // before: it started again); `about` goes before the time left. Empty
    // in the first second.
    std::wstring Pace(std::uint64_t received, std::uint64_t length, Clock::time_point now,
                      const wchar_t* about = L"");

  private:
    struct Sample {
        Clock::time_point at;
        std::uint64_t bytes;
    };
    std::wstring label_;
    std::deque<Sample> samples_;
};

// s_downloadText for a front end: one line for the run's downloads, which
// only the worker reports, so it needs no lock.
std::wstring TimedDownloadText(const wchar_t* label, std::uint64_t received, std::uint64_t length);

}  // namespace setup
