// The build stage: runs the project's build script over the user's game files
// and turns its output into the window's status line and progress bar.
#pragma once

#include <climits>
#include <string>

#include "setup.h"

namespace setup {

// Reads the build script's output lines: "==> stage" names a stage, "[n/m]"
// counts steps, an indented "42%" reports a percentage.
// A progress figure is posted only when it differs from the last one posted.
class BuildOutput {
  public:
    void operator()(const std::string& line);
    // The build goes on in a new run of the script, which counts afresh:
    // the bar goes on from where it is.
    void Continue();

  private:
    void Post(int percent, std::intptr_t steps = 0);
    int Onward(int percent) const;
    int posted_ = INT_MIN;  // no figure yet
    int highest_ = 0;       // the highest figure posted
    int base_ = 0;          // the bar's figure where the build was continued
};

// The script's command line: the disc goes along only while the game's files
// aren't in the install yet.
std::wstring BuildCommand(const fs::path& source, bool extracted);

// Ends the run for a build script that exited with `code`: the message says
// what to do next; the cause is the line that says why, or the signal that
// killed it when one did (`signalled`).
[[noreturn]] void Failure(int code, bool signalled, const std::wstring& cause,
                          const fs::path& launcher);

// Runs the build in the source folder and checks for the launcher; sets s_installed.
void Build(const fs::path& sourceDir, const fs::path& source, bool extracted);

}  // namespace setup
