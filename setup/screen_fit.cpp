#include "screen_fit.h"

#include <algorithm>

namespace setup {

namespace {

// The start of a span of `length` moved to lie within [from, to), or at
// `from` when it can't.
int Within(int start, int length, int from, int to) {
    return std::max(std::min(start, to - length), from);
}

}  // namespace

Box FitIn(Box window, const Box& work, int give) {
    int width = window.right - window.left, height = window.bottom - window.top;
    int room = work.bottom - work.top;
    if (height > room) height -= std::min(give, height - room);
    window.left = Within(window.left, width, work.left, work.right);
    window.top = Within(window.top, height, work.top, work.bottom);
    return {window.left, window.top, window.left + width, window.top + height};
}

}  // namespace setup
