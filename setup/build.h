// The build stage: runs the project's build script over the user's game files
// and turns its output into the window's status line and progress bar.
#pragma once

#include <climits>
#include <cstdint>
#include <string>

#include "last_error.h"
#include "os.h"
#include "setup.h"

namespace setup {

// Reads the build script's output lines: "==> stage" names a stage, "[n/m]"
// counts steps, an indented "42%" reports a percentage.
// A progress figure is posted only when it differs from the last one posted.
class BuildOutput {
  public:
    // True for a line of progress, which says nothing else.
    bool operator()(const std::string& line);
    // The build goes on in a new run of the script, which counts afresh:
    // the bar goes on from where it is.
    void Continue();
    // Whether a step of the build proper has been counted: the extraction
    // before it is over.
    bool Building() const { return building_; }

  private:
    void Post(int percent, std::intptr_t steps = 0);
    int Onward(int percent) const;
    int posted_ = INT_MIN;  // no figure yet
    int highest_ = 0;       // the highest figure of steps posted
    int base_ = 0;          // the bar's figure where the build was continued
    bool building_ = false;
};

// The stage's handler of one run of the script's output: the progress above
// (kept across runs by the caller), the line that says why it failed, a
// refusal of Windows' application control and a sign of running out of
// memory. Handed to Run through Handler(), which refers to this object.
class BuildLines {
  public:
    explicit BuildLines(BuildOutput& output) : output_(output) {}
    void operator()(const std::string& line);
    LineHandler Handler() { return std::ref(*this); }
    // `kills` processes ended by the system's out-of-memory killer while it ran.
    void MemoryKills(std::uint64_t kills);
    // It ran out of memory: the cause says how.
    bool Memory() const { return !memory_.empty(); }
    // What the failure's message gives as its cause.
    std::wstring Cause() const;

  private:
    BuildOutput& output_;
    LastError script_;
    std::string refusal_;
    std::string memory_;
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
// The out-of-memory kills that were the build's, from the counts before and
// after it (os::MemoryKills) and how its script ended.
std::uint64_t BuildKills(const os::Kills& before, const os::Kills& after, bool signalled, int code);

// True when it ran short of memory and went on with fewer compiles at once.
bool Build(const fs::path& sourceDir, const fs::path& source, bool extracted);

}  // namespace setup
