#include "last_error.h"

#include "error_line.h"

namespace setup {

namespace {

// A cause is one line under the message, not a copy of a flood.
constexpr std::size_t kLongest = 500;

bool Blank(const std::string& line) {
    return line.find_first_not_of(" \t\r\n") == std::string::npos;
}

}  // namespace

void LastError::operator()(const std::string& line) {
    if (next_) next_(line);
    if (Blank(line)) return;
    std::string kept = line.substr(0, kLongest);
    int weight = ErrorWeight(line);
    // A traceback's frames are indented; the line after them names the exception.
    if (traceback_ && line[0] != ' ') {
        traceback_ = false;
        weight = 2;
    }
    if (line.starts_with("Traceback (most recent call last):")) traceback_ = true;
    if (weight > weight_) {
        weight_ = weight;
        error_ = kept;
    }
    (Summary(line) ? summary_ : last_) = std::move(kept);
}

std::wstring LastError::Cause() const {
    return Widen(!error_.empty() ? error_ : !last_.empty() ? last_ : summary_);
}

}  // namespace setup
