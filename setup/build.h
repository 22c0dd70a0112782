// The build stage: runs the project's build script over the user's game files
// and turns its output into the window's status line and progress bar.
#pragma once

#include <climits>
#include <string>

#include "last_error.h"
#include "setup.h"

namespace setup {

// Reads the build script's output lines: "==> stage" names a stage, "[n/m]"
// counts steps, an indented "42%" reports a percentage.
// A progress figure is posted only when it differs from the last one posted.
class BuildOutput {
  public:
    // True for a line of progress, which says nothing else.
    bool operator()(const std::string& line);

  private:
    void Post(int percent, std::intptr_t steps = 0);
    int posted_ = INT_MIN;  // no figure yet
};

// The stage's handler of the script's output: the progress above, the line
// that says why it failed, and a refusal of Windows' application control.
// Handed to Run through Handler(), which refers to this object.
class BuildLines {
  public:
    void operator()(const std::string& line);
    LineHandler Handler() { return std::ref(*this); }
    // What the failure's message gives as its cause.
    std::wstring Cause() const;

  private:
    BuildOutput output_;
    LastError script_;
    std::string refusal_;
};

// The script's command line: the disc goes along only while the game's files
// aren't in the install yet.
std::wstring BuildCommand(const fs::path& source, bool extracted);

// Ends the run for a build script that exited with `code`: the message says
// what to do next; the cause is the line that says why, or the signal that
// killed it.
[[noreturn]] void Failure(int code, const std::wstring& cause, const fs::path& launcher);

// Runs the build in the source folder and checks for the launcher; sets s_installed.
void Build(const fs::path& sourceDir, const fs::path& source, bool extracted);

}  // namespace setup
