// The build tools stage: each tool from the PATH, from the install's tools
// folder, or downloaded and unpacked there and put on the PATH.
#pragma once

#include <cstdint>
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

// The steps of one tool, for a stage that works on several at once.
using Progress = std::function<void(std::uint64_t received, std::uint64_t length)>;
// Neither on the PATH nor in the tools folder: the tool must be downloaded.
// Looks only; changes nothing.
bool Missing(const Tool& tool, const fs::path& tools);
// Takes the tool from the PATH or the tools folder (put in front of the
// PATH); false when it must be downloaded.
bool Settled(const Tool& tool, const fs::path& tools);
// Downloads the tool's archive and verifies it; with a progress, it reports
// there instead of to the window. Returns the archive's path.
fs::path DownloadTool(const Tool& tool, const fs::path& tools, const Asset& asset,
                      const Progress& progress, const std::function<void()>& retrying = {});
// The tool's archive that an earlier run downloaded and verified but didn't
// unpack (stopped, killed, the drive full): read again against its recorded
// digest, then logged and returned to be unpacked. Empty when there is none
// or it changed since (its record dropped: it is downloaded again).
fs::path VerifiedArchive(const Tool& tool, const fs::path& tools);
// Unpacks the archive into the tool's folder and puts the tool on the PATH;
// beside other jobs its step is a log line, not the status.
void Place(const Tool& tool, const fs::path& archive, bool beside);
// Shows the stage's start and makes the tools folder; returns it.
fs::path MakeToolsFolder(const fs::path& installDir);

// The stage: settles every tool of the table for the install folder.
void Tools(const fs::path& installDir);
void Tools(const fs::path& installDir, const std::vector<Tool>& table);

}  // namespace setup
