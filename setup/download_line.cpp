#include "download_line.h"

#include <cmath>
#include <cwchar>

#include "http.h"

namespace setup {

namespace {

// The speed is that of the last few seconds, so that a slower stretch shows
// soon; and none is given before the first second, when it would jump about.
constexpr std::chrono::seconds kWindow{5};
constexpr std::chrono::seconds kSettle{1};

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
    if (whole < 60) return std::to_wstring(whole) + L" s left";
    return std::to_wstring((whole + 59) / 60) + L" min left";
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
    if (length > received && speed > 0)
        text +=
            L", " + std::wstring(about) + LeftText(static_cast<double>(length - received) / speed);
    return text;
}

std::wstring TimedDownloadText(const wchar_t* label, std::uint64_t received, std::uint64_t length) {
    static DownloadLine line;
    return line.Text(label, received, length, DownloadLine::Clock::now());
}

}  // namespace setup
