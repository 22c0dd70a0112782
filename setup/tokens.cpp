#include "tokens.h"

#include <algorithm>

namespace setup {

namespace {

// A few compiles' worth of memory: the build's units differ, and one large
// unit weighs on the count until others have been seen since.
constexpr std::size_t kRemembered = 8;
// Looks (200 ms apart) a compile must have lasted to teach its size.
constexpr int kLooks = 5;

}  // namespace

std::uint64_t Tokens::Need(std::uint64_t largest) const {
    std::uint64_t need = ended_.empty() ? std::max(kFirstGuess, largest)
                                        : *std::max_element(ended_.begin(), ended_.end());
    return std::max(need, floor_);
}

int Tokens::Allowed(const Reading& now) {
    if (now.available == 0) return 1;
    std::uint64_t need = Need(now.largest);
    // A compile still below the usual size may grow to it; one already past
    // it is a large unit that may grow as far again.
    std::uint64_t grow = now.compiles * need > now.used ? now.compiles * need - now.used : 0;
    if (now.largest > need) grow += now.largest - need;
    std::uint64_t held = grow + kMargin;
    long long more = now.available > held
                         ? static_cast<long long>((now.available - held) / need)
                         : -static_cast<long long>((held - now.available + need - 1) / need);
    long long allowed = now.compiles + more;
    return static_cast<int>(std::clamp<long long>(allowed, 1, most_));
}

void Tokens::Ended(std::uint64_t peak, int looks) {
    // One that came and went between a few looks says little: CMake's
    // checks of the compiler are tiny, and would let the first units, still
    // growing, all start at once.
    if (peak == 0 || looks < kLooks) return;
    ended_.push_back(peak);
    if (ended_.size() > kRemembered) ended_.pop_front();
}

void Tokens::Fewer(int failed, std::uint64_t peak) {
    most_ = std::max(1, std::min(most_, failed / 2));
    floor_ = std::max(floor_, peak);
}

}  // namespace setup
