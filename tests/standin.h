// What the stand-in web (tests/standin/web.py, laid out by ctest under the
// test server's web folder) holds for this platform's tool table.
#pragma once

#include <string>
#include <vector>

#include "server.h"
#include "setup.h"

namespace setup::test::standin {

// The base URL the mirror options point at: GitHub's API and NuGet.
inline std::wstring Base() {
    return WebUrl("standin");
}

// A tool the stage downloads when the PATH doesn't have it.
struct Fetched {
    std::wstring name;     // the row's display name
    std::wstring url;      // the archive, below Base()
    std::string found;     // the executable, below tools/<name>
    std::wstring command;  // starts it by name once it is on the PATH
    std::string says;      // the first line it writes
};

// The downloaded tools, in the table's order.
std::vector<Fetched> Fetches();

// A PATH that holds none of the tools except, on Linux, the system's git
// (Setup can't download it there), made under `dir`.
struct Start {
    std::wstring path;
    std::wstring git;  // the log line of git found on it, or empty
};
Start StartPath(const fs::path& dir);

// The file name of the Ninja archive, also that of the releases under
// corvane-test/ that hold broken archives.
extern const char kNinjaAsset[];

}  // namespace setup::test::standin
