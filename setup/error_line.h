// Which line of a program's output says why it failed: the rule shared by
// git, the unpacker and the build.
#pragma once

#include <string_view>

namespace setup {

// How strongly a line reads like an error: 2 for a compiler's, linker's or
// tool's own error ("file:12:3: error: ...", "fatal error", git's "fatal:",
// "CMake Error"), 1 for a build tool's note of the step that failed
// ("FAILED: ..."), 0 for anything else.
int ErrorWeight(std::string_view line);

// A tool's closing summary, which only repeats that something failed above
// ("ninja: build stopped: subcommand failed.", bsdtar's "Error exit delayed
// from previous errors.", "1 error generated.").
bool Summary(std::string_view line);

}  // namespace setup
