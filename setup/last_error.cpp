#include "last_error.h"

#include "error_line.h"

namespace setup {

namespace {

// A cause is one line under the message, not a copy of a flood.
constexpr std::size_t kLongest = 500;

bool Blank(std::string_view line) {
    return line.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

}  // namespace

void LastError::operator()(const std::string& raw) {
    if (next_) next_(raw);
    std::string_view line = Plain(raw, plain_);
    if (Blank(line)) return;
    // A traceback the script caught and printed isn't why it failed: only
    // the one it ends with is.
    raisedLast_ = false;
    int weight = 0;
    if (!traceback_) {
        weight = ErrorWeight(line);
    } else if (line[0] != ' ' && line[0] != '\t' && !ProgressLine(line) && !line.ends_with(':')) {
        // A traceback's frames are indented, and the build's progress may
        // come between them; the first other line names the exception (of
        // a chain of tracebacks, the last one's is the one raised). The
        // chain's own lines ("During handling of ...:") end with a colon.
        traceback_ = false;
        raisedLast_ = true;
        raised_.assign(line, 0, kLongest);
        return;
    }
    if (line[0] == 'T' && line.starts_with("Traceback (most recent call last):")) traceback_ = true;
    if (weight > weight_) {
        weight_ = weight;
        error_.assign(line, 0, kLongest);
    }
    // Assigned, not copied: the kept lines reuse their room, line after line.
    if (Summary(line))
        summary_.assign(line, 0, kLongest);
    else if (weight >= 0 && !Decoration(line))
        last_.assign(line, 0, kLongest);
}

std::wstring LastError::Cause() const {
    if (raisedLast_ && weight_ < 2) return Widen(raised_);
    return Widen(!error_.empty() ? error_ : !last_.empty() ? last_ : summary_);
}

}  // namespace setup
