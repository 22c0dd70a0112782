// A download's status line with its speed and the time left, as users of
// other downloaders expect ("Downloading CMake: 12 MB of 38 MB, 8.1 MB/s,
// 4 s left"). Both front ends show it.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace setup {

class DownloadLine {
  public:
    using Clock = std::chrono::steady_clock;

    // The text for one progress report of a download. A new label, or fewer
    // bytes than before (the download started again), starts a new download.
    std::wstring Text(const wchar_t* label, std::uint64_t received, std::uint64_t length,
                      Clock::time_point now);
    // ", 8.1 MB/s, 4 s left" for a count of bytes that grows (fewer than
    // before: it started again); `about` is the time left's form. Empty in
    // the first second.
    std::wstring Pace(std::uint64_t received, std::uint64_t length, Clock::time_point now,
                      const wchar_t* about = L"{}");

  private:
    struct Sample {
        Clock::time_point at;
        std::uint64_t bytes;
    };
    std::wstring label_;
    std::deque<Sample> samples_;
};

// The downloads that run side by side, as one figure for the bar and one
// text: "38 MB of 61 MB, 8.1 MB/s, about 3 s left".
class Downloads {
  public:
    // A download of `size` bytes (0: unknown until its answer says).
    std::size_t Add(std::uint64_t size, const std::wstring& name = {});
    // A report of one download, the first where it starts (the bytes an
    // earlier run kept): the bar's percentage (-1 once every byte is in)
    // and the text.
    int Update(std::size_t job, std::uint64_t received, std::uint64_t length,
               DownloadLine::Clock::time_point now, std::wstring& text);
    // The download is tried again: said until its bytes come again.
    int Retrying(std::size_t job, DownloadLine::Clock::time_point now, std::wstring& text);

  private:
    struct Job {
        std::wstring name;
        std::uint64_t size, received, resumed;  // resumed: the bytes an earlier run fetched
        bool reported, retrying;
        DownloadLine::Clock::time_point moved;  // when its bytes last came
    };
    // What is late: "(CMake: retrying, waiting for Ninja's server)".
    std::wstring Notes(DownloadLine::Clock::time_point now) const;
    std::vector<Job> jobs_;
    DownloadLine line_;
    int floor_ = 0;  // the highest percentage given
};

// s_downloadText for a front end: one line for the run's downloads, which
// only the worker reports, so it needs no lock.
std::wstring TimedDownloadText(const wchar_t* label, std::uint64_t received, std::uint64_t length);

}  // namespace setup
