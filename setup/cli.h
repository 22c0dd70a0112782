// The command line shared by both front ends: the run's choices, update mode
// and the mirror options.
#pragma once

#include <string>
#include <vector>

#include "setup.h"

namespace setup {

struct Options {
    Choices choices;
    fs::path update;   // --update DIR: run at once, then start the launcher
    bool yes = false;  // answer yes to the run's question
    bool verbose = false;
    std::string language;  // --language: a code of Languages(); empty: the system's
    bool help = false;
    bool version = false;
    std::wstring error;  // what was wrong with the command line, if anything
};

// Parses the arguments after the program name. An option's value follows it
// as the next argument or after "=" (--source=PATH). The mirror options are
// applied to the base URLs as they are read.
Options ParseArgs(const std::vector<std::wstring>& args, const fs::path& defaultInstallDir);

// The mirror options, shared with the window's command line.
bool IsMirror(const std::wstring& option);
void ApplyMirror(const std::wstring& option, const std::wstring& base);

// What is wrong with the paths of a command line, before anything is made:
// a source that isn't there, an --update folder that isn't there or holds
// no install. Empty when they can be used.
std::wstring PathMistake(const fs::path& source, const fs::path& update);

// The console program's --help, in English.
std::wstring Usage();

// Text broken into lines at its spaces so that none reaches a terminal's
// last column; a word longer than a line stands alone on it.
std::wstring Wrap(const std::wstring& text, int columns);

// The run's final message as the console shows it: the console names the
// option where the window's text points at its source box.
std::wstring ConsoleMessage(const std::wstring& message);

}  // namespace setup
