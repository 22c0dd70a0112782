// What whole runs of the window need under Wine: the stand-in web that the
// test server serves (laid out by ctest), the project's repository as the
// Windows stand-in git keeps it, and an environment whose PATH holds none of
// the tools, so that a first run downloads every one.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "app.h"
#include "desktop.h"
#include "plain_origin.h"

namespace setup::test {

inline const std::wstring kDone = L"Done. Start the game with the launcher";
inline const std::wstring kShortcutEnding = L" (\"Corvane Recompiled\" on the desktop).";
inline const std::wstring kUpToDate = L"The source code was already up to date.";

// The final message of a successful run with the shortcut chosen: where it
// installed, and for an update what happened to the source code.
inline std::wstring Summary(const fs::path& install, const std::wstring& update = {}) {
    return kDone + kShortcutEnding + L"\n\nInstalled in " + install.native() + L"." +
           (update.empty() ? L"" : L" " + update);
}

class Standins {
  public:
    // The project's repository goes under `dir`.
    explicit Standins(const fs::path& dir);

    // The mirror options that point the window at the stand-ins, then `more`.
    std::vector<std::wstring> Args(const std::vector<std::wstring>& more = {}) const;
    // Only the system's folders on the PATH, a quick build, then `more`.
    Env Environment(const Env& more = {}) const;
    // The base URL of the stand-in GitHub API, downloads and NuGet.
    std::wstring Web() const;

    // The prefix's desktop, which the runs put their shortcut on: held from
    // other tests' runs while these run.
    Desktop desktop;
    PlainOrigin origin;
};

// A small disc image under `dir`, with a space and brackets in its name.
fs::path DiscImage(const fs::path& dir);

// Waits for the message box that ends a run, answering a low-disk question
// on the way with Yes; nullptr after the limit.
HWND RunEnd(const App& app, std::chrono::seconds limit = std::chrono::seconds(180));

// Starts a run in the window with these choices (an empty source for an
// update) and waits for the box that ends it, as RunEnd does.
HWND RunWith(App& app, const fs::path& source, const fs::path& install);

// A first install from the disc image into the folder through a window of
// its own, as a user makes it; false unless it succeeded.
bool FirstInstall(const Standins& standins, const fs::path& image, const fs::path& install,
                  const Env& more = {});

// The lines of the last run in setup.log, and the status lines among them.
std::vector<std::string> LastRun(const fs::path& log);
std::vector<std::string> Statuses(const std::vector<std::string>& lines);
// The run's last three lines, as one text: where a summary stands.
std::string Ending(const std::vector<std::string>& lines);

}  // namespace setup::test
