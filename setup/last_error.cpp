#include "last_error.h"

#include "error_line.h"

namespace setup {

namespace {

// A cause is one line under the message, not a copy of a flood.
constexpr std::size_t kLongest = 500;

bool Blank(const std::string& line) {
    for (char c : line)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
    return true;
}

}  // namespace

void LastError::operator()(const std::string& line) {
    if (next_) next_(line);
    if (Blank(line)) return;
    int weight = 0;
    bool exception = false;
    if (!traceback_) {
        weight = ErrorWeight(line);
    } else if (line[0] != ' ' && line[0] != '\t' && !ProgressLine(line) && !line.ends_with(':')) {
        // A traceback's frames are indented, and the build's progress may
        // come between them; the first other line names the exception. The
        // chain's own lines ("During handling of ...:") end with a colon.
        traceback_ = false;
        exception = true;
        weight = 2;
    }
    if (line[0] == 'T' && line.starts_with("Traceback (most recent call last):")) traceback_ = true;
    // Of a chain of tracebacks, the last one's exception is the one raised.
    if (weight > weight_ || (exception && fromTraceback_)) {
        weight_ = weight;
        fromTraceback_ = exception;
        error_.assign(line, 0, kLongest);
    }
    // Assigned, not copied: the kept lines reuse their room, line after line.
    (Summary(line) ? summary_ : last_).assign(line, 0, kLongest);
}

std::wstring LastError::Cause() const {
    return Widen(!error_.empty() ? error_ : !last_.empty() ? last_ : summary_);
}

}  // namespace setup
