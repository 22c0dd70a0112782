// The setup window's command line: "--update FOLDER", the options of an
// unattended run and the mirror options. Everything else on it is ignored,
// unlike the console program's.
#pragma once

#include <string>
#include <vector>

namespace setup {

// The folder after the last "--update" (exact spelling) that has one; empty
// when there is none. args[0] is the program itself.
std::wstring UpdateFolder(const std::vector<std::wstring>& args);

// Applies every mirror option that has a value after it.
void ApplyMirrors(const std::vector<std::wstring>& args);

struct WindowArgs {
    std::wstring update;  // the --update folder
    std::wstring source, installDir;
    bool shortcut = false, freeSpace = false, deleteImage = false;
    bool yes = false, quiet = false;
    bool help = false;     // "/?", "-h" or "--help"
    std::string language;  // --language: a code of Languages(); empty: the system's
    std::wstring error;    // why the command line can't be used; empty when it can

    // The choices come from the command line and the run starts at once.
    bool Unattended() const { return !source.empty() || !installDir.empty(); }
};

WindowArgs ReadWindowArgs(const std::vector<std::wstring>& args);

}  // namespace setup
