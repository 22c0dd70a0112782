// Where the newest release of each build tool is: GitHub's latest-release
// answer for most of them, NuGet's flat container for Windows' Python.
#pragma once

#include <string>

namespace setup {

// The download URL of the first asset of the repository's latest release
// whose whole file name matches the pattern, ignoring case. Ends the run
// with a message when the release can't be read or nothing matches.
std::wstring LatestAsset(const char* repo, const char* pattern);

// The package URL of the newest Python 3.12 on NuGet.
std::wstring NugetPython();

// The same choices over answers already fetched; empty when nothing matches.
std::string AssetIn(const std::string& json, const char* pattern);
std::string Python312In(const std::string& index);

}  // namespace setup
