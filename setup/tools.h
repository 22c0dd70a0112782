// The build tools stage: each tool from the PATH, from the install's tools
// folder, or downloaded and unpacked there and put on the PATH.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "releases.h"
#include "setup.h"

namespace setup {

struct Tool {
    std::wstring name;              // display name: log lines, messages, folder and archive names
    std::wstring exe;               // the executable's file name
    std::function<Asset()> source;  // the archive and its digest, or ends the run
};

// This platform's tools, in the order they are settled.
const std::vector<Tool>& ToolTable();

// The first file of that exact name at most three folders below `folder`,
// depth first; an empty path when there is none. Never throws.
fs::path FindUnder(const fs::path& folder, const wchar_t* file);

// The stage: settles every tool of the table for the install folder.
void Tools(const fs::path& installDir);
void Tools(const fs::path& installDir, const std::vector<Tool>& table);

}  // namespace setup
