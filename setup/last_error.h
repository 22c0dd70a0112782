// A failed program's own reason, kept from its output on its way to the
// stage's line handler.
#pragma once

#include <string>

#include "setup.h"

namespace setup {

// Passes every line on and keeps the line that says why the program failed,
// each judged without its escape sequences: the first that reads most like
// an error (see ErrorWeight), or the exception line of the Python traceback
// the output ends with; without either, the last line that is neither a
// warning, a decoration nor a closing summary, else that summary. Handed to
// Run through Handler(), which refers to this object: it must outlive the
// call.
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
    std::string summary_;      // the last closing summary, when nothing else came
    std::string raised_;       // the last traceback's exception
    bool raisedLast_ = false;  // and nothing came after it
    bool traceback_ = false;
    std::string plain_;  // a line without its escape sequences
};

}  // namespace setup
