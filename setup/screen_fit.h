// Where the window goes when it grows: inside its monitor's work area.
#pragma once

namespace setup {

struct Box {
    int left, top, right, bottom;
    bool operator==(const Box&) const = default;
};

// The window's box moved into the work area: up (and across) first, then,
// if it is still too tall, shorter by at most `give` pixels (what its log
// can lose). A window that would still not fit keeps its caption on screen.
Box FitIn(Box window, const Box& work, int give);

}  // namespace setup
