// A failed program's own reason, kept from its output on its way to the
// stage's line handler.
#pragma once

#include <string>

#include "setup.h"

namespace setup {

// Passes every line on and keeps the line that says why the program failed:
// the first that reads most like an error (see ErrorWeight), a Python
// traceback's exception line counting as one; without such a line, the last
// line that isn't a closing summary. Handed to Run through Handler(), which
// refers to this object: it must outlive the call.
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
    int weight_ = 0;  // error_'s
    std::string last_;
    std::string summary_;  // the last closing summary, when nothing else came
    bool traceback_ = false;
    bool fromTraceback_ = false;  // error_ names a traceback's exception
};

}  // namespace setup
