// The setup window's command line: "--update FOLDER" and the mirror options.
// Everything else on it is ignored, unlike the console program's.
#pragma once

#include <string>
#include <vector>

namespace setup {

// The folder after the last "--update" (exact spelling) that has one; empty
// when there is none. args[0] is the program itself.
std::wstring UpdateFolder(const std::vector<std::wstring>& args);

// Applies every mirror option that has a value after it.
void ApplyMirrors(const std::vector<std::wstring>& args);

}  // namespace setup
