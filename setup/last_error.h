// A failed program's own reason, kept from its output on its way to the
// stage's line handler.
#pragma once

#include <string>

#include "setup.h"

namespace setup {

// Passes every line on and keeps the program's last line that starts with
// "error:" or "fatal:", else the last line it printed. Handed to Run through
// Handler(), which refers to this object: it must outlive the call.
class LastError {
  public:
    explicit LastError(LineHandler next = {}) : next_(std::move(next)) {}
    void operator()(const std::string& line);
    LineHandler Handler() { return std::ref(*this); }
    // The kept line as text; empty when the program printed nothing.
    std::wstring Cause() const;

  private:
    LineHandler next_;
    std::string error_;
    std::string last_;
};

}  // namespace setup
