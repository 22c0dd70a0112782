#include "stall.h"

#include <algorithm>

#include "setup.h"

namespace setup {

std::chrono::milliseconds s_stallAfter = std::chrono::minutes(5);

void Stall::Printed(Clock::time_point now) {
    Moved(now);
}

bool Stall::Due(Clock::time_point now) const {
    // A look at every process a few times within the limit: often enough.
    auto every = std::min<Clock::duration>(std::chrono::seconds(5), s_stallAfter / 4);
    return now - asked_ >= every;
}

void Stall::Used(long long cpuMs, Clock::time_point now) {
    asked_ = now;
    if (cpuMs < 0) return;
    if (cpuMs != cpu_) {
        cpu_ = cpuMs;
        return Moved(now);
    }
    if (noted_ || now - moved_ < s_stallAfter) return;
    noted_ = true;
    before_ = LastStatus();
    Status(kStallNote);
}

void Stall::Moved(Clock::time_point now) {
    moved_ = now;
    if (!noted_) return;
    noted_ = false;
    Log(L"(the build is moving again)");
    PostText(kMsgStatus, before_);
}

}  // namespace setup
