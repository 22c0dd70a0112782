#include "step_clock.h"

#include <algorithm>
#include <cmath>

#include "setup.h"

namespace setup {

namespace {

// A few steps and some time behind it before the pace says anything: the
// first steps of a build are rarely its typical ones.
constexpr long long kSteps = 3;
constexpr std::chrono::seconds kSettle{20};

}  // namespace

std::wstring StepClock::Text(std::intptr_t steps, Clock::time_point now) {
    long long count = steps >> 32, total = steps & 0xFFFFFFFF;
    // A new build, or one that counts anew, measures its pace anew: the
    // steps of another count ([400/400], then [1/400] again) are others.
    if (firstCount_ < 0 || total != total_ || count < lastCount_) {
        first_ = now;
        firstCount_ = count;
        total_ = total;
    }
    lastCount_ = count;
    std::wstring text = Say(L"step {} of {}", std::to_wstring(count), std::to_wstring(total));
    std::chrono::duration<double> span = now - first_;
    long long done = count - firstCount_;
    if (done < kSteps || span < kSettle || count >= total) return text;
    double left = span.count() / static_cast<double>(done) * static_cast<double>(total - count);
    if (left < 60) return Say(L"{}, less than a minute left", text);
    auto minutes = static_cast<long long>(std::ceil(left / 60));
    return Say(L"{}, about {} min left", text, std::to_wstring(minutes));
}

int BuildBar(int percent, std::intptr_t steps) {
    if (percent < 0 || steps == 0) return percent;
    percent = std::min(percent, 100);
    if (steps == kBuildPercent) return percent / 5;
    return 20 + percent * 4 / 5;
}

int RunBar::Figure(int percent, std::intptr_t steps) {
    if (steps != 0) build_ = true;
    if (percent < 0) return percent;
    int value = std::min(percent, 100);
    value = build_ ? 20 + BuildBar(value, steps) * 4 / 5 : value / 5;
    shown_ = std::max(shown_, value);
    return shown_;
}

}  // namespace setup
