// The build's step and, once the pace so far can tell it, the time left:
// "step 21 of 40, about 12 min left". Both front ends show it.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace setup {

class StepClock {
  public:
    using Clock = std::chrono::steady_clock;

    // The text for kMsgProgress's build steps (see Steps), read at `now`.
    std::wstring Text(std::intptr_t steps, Clock::time_point now);

  private:
    Clock::time_point first_{};
    long long firstCount_ = -1;  // the step the pace is measured from; -1: none yet
    long long lastCount_ = 0;    // the step shown last
    long long total_ = 0;
};

// The bar's figure for the build's progress: its own percentage (the
// extraction's) fills the first fifth, its steps the rest, so that the bar
// never goes back while the build stage lasts. Other progress is as it came.
int BuildBar(int percent, std::intptr_t steps);

// The bar over a whole run, which never goes back: what comes before the
// build (the downloads) fills its first fifth, the build (BuildBar) the rest.
class RunBar {
  public:
    // The bar's figure for kMsgProgress's two values; -1 (no known length) as it came.
    int Figure(int percent, std::intptr_t steps);

  private:
    bool build_ = false;
    int shown_ = 0;
};

}  // namespace setup
