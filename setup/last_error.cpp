#include "last_error.h"

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
    if (line.rfind("error:", 0) == 0 || line.rfind("fatal:", 0) == 0) error_ = kept;
    last_ = std::move(kept);
}

std::wstring LastError::Cause() const {
    return Widen(error_.empty() ? last_ : error_);
}

}  // namespace setup
