// Which line of a program's output says why it failed: the rule shared by
// git, the unpacker and the build.
#pragma once

#include <string>
#include <string_view>

namespace setup {

// How strongly a line reads like an error: -1 for a warning in any of its
// forms ("file:3: warning: ...", "WARNING:build:...", "CMake Warning"),
// which is never a cause, whatever its text holds; 2 for a compiler's,
// linker's or tool's own error in one of their forms ("file:12:3: error:
// ...", "fatal error", git's "fatal:", "CMake Error", Python logging's
// "ERROR:"), 1 for a build tool's note of the step that failed ("FAILED:
// ...") and for "error:" in another place, 0 for anything else. A source line that a compiler
// quotes ("   40 |   ...") is 0, whatever it holds. Reads a line that holds
// no ':' with one scan, as most of a build's do.
int ErrorWeight(std::string_view line);

// A tool's closing summary, which only repeats that something failed above
// ("ninja: build stopped: subcommand failed.", bsdtar's "Error exit delayed
// from previous errors.", "1 error generated.").
bool Summary(std::string_view line);

// The line without its terminal escape sequences (colours, bold), which
// compilers add on a terminal and a CI's forced colours add anywhere. `room`
// holds the result when there were any; otherwise the line itself.
std::string_view Plain(std::string_view line, std::string& room);

// "   40 |     code" or "      |     ^~~~": a line a compiler quotes from
// the source.
bool Quoted(std::string_view line);

// A line that only draws (a box's edge, the carets under a quote, a row of
// dashes: no letter in it) or only counts progress: never a cause.
bool Decoration(std::string_view line);

// A line that only counts a build's progress ("[6/40] ...", "==> stage",
// "  42%"): it ends no traceback and names no cause of its own.
bool ProgressLine(std::string_view line);

}  // namespace setup
