#include "download_line.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "http.h"

namespace setup {

namespace {

// The speed is that of the last few seconds, so that a slower stretch shows
// soon; and none is given before the first second, when it would jump about.
constexpr std::chrono::seconds kWindow{5};
constexpr std::chrono::seconds kSettle{1};
// A download that got nothing for this long is waiting for its server.
constexpr std::chrono::seconds kStall{5};

std::wstring SpeedText(double bytesPerSecond) {
    wchar_t text[32];
    if (bytesPerSecond >= 1048576.0) {
        std::swprintf(text, 32, L"%.1f MB/s", bytesPerSecond / 1048576.0);
    } else {
        std::swprintf(text, 32, L"%.0f KB/s", bytesPerSecond / 1024.0);
    }
    return text;
}

std::wstring LeftText(double seconds) {
    auto whole = static_cast<long long>(std::ceil(seconds));
    if (whole < 60) return Say(L"{} s left", std::to_wstring(whole));
    return Say(L"{} min left", std::to_wstring((whole + 59) / 60));
}

}  // namespace

std::wstring DownloadLine::Text(const wchar_t* label, std::uint64_t received, std::uint64_t length,
                                Clock::time_point now) {
    if (label_ != label) {
        label_ = label;
        samples_.clear();
    }
    return DownloadText(label, received, length) + Pace(received, length, now);
}

std::wstring DownloadLine::Pace(std::uint64_t received, std::uint64_t length, Clock::time_point now,
                                const wchar_t* about) {
    if (!samples_.empty() && received < samples_.back().bytes) samples_.clear();
    samples_.push_back({now, received});
    while (samples_.size() > 2 && now - samples_[1].at >= kWindow) samples_.pop_front();

    std::chrono::duration<double> span = now - samples_.front().at;
    if (span < kSettle) return {};
    double speed = static_cast<double>(received - samples_.front().bytes) / span.count();
    std::wstring text = L", " + SpeedText(speed);
    // Where it is shown the figures are read back by their joins ("{}, {}").
    if (length > received && speed > 0)
        text = Say(L"{}, {}", text,
                   Say(about, LeftText(static_cast<double>(length - received) / speed)));
    return text;
}

std::size_t Downloads::Add(std::uint64_t size, const std::wstring& name) {
    jobs_.push_back({name, size, 0, 0, false, false, {}});
    return jobs_.size() - 1;
}

int Downloads::Update(std::size_t job, std::uint64_t received, std::uint64_t length,
                      DownloadLine::Clock::time_point now, std::wstring& text) {
    Job& it = jobs_[job];
    // A resumed download's first report holds what an earlier run fetched:
    // those bytes take no time now.
    if (!it.reported || received < it.resumed) it.resumed = received;  // or it started again
    if (!it.reported || received != it.received) it.moved = now;
    if (it.reported && received != it.received) it.retrying = false;
    it.reported = true;
    it.received = received;
    if (length) it.size = length;
    std::uint64_t got = 0, total = 0, before = 0;
    for (const Job& each : jobs_) {
        got += each.received;
        total += std::max(each.size, each.received);
        before += each.resumed;
    }
    text = ByteFigures(got, total) + line_.Pace(got - before, total - before, now, T(L"about {}"));
    if (std::wstring notes = Notes(now); !notes.empty()) text = Say(L"{} ({})", text, notes);
    // Once every byte is in, what is left (unpacks, the clone) has no
    // known length: the bar moves without an amount.
    if (!total || got >= total) return -1;
    // A download whose size was unknown weighs in only once it answers:
    // the bar waits for the others rather than go back.
    floor_ = std::max(floor_, static_cast<int>(got * 100 / total));
    return floor_;
}

int Downloads::Retrying(std::size_t job, DownloadLine::Clock::time_point now, std::wstring& text) {
    Job& it = jobs_[job];
    it.retrying = true;
    return Update(job, it.received, 0, now, text);
}

std::wstring Downloads::Notes(DownloadLine::Clock::time_point now) const {
    std::wstring notes;
    for (const Job& each : jobs_) {
        // Summed up, one download that stopped moving hides behind the others.
        bool stalled = each.reported && each.received < each.size && now - each.moved >= kStall;
        if (!each.retrying && !stalled) continue;
        std::wstring note = each.retrying ? Say(L"{}: retrying", each.name)
                                          : Say(L"waiting for {}'s server", each.name);
        notes = notes.empty() ? note : Say(L"{}, {}", notes, note);
    }
    return notes;
}

std::wstring TimedDownloadText(const wchar_t* label, std::uint64_t received, std::uint64_t length) {
    static DownloadLine line;
    return line.Text(label, received, length, DownloadLine::Clock::now());
}

}  // namespace setup
