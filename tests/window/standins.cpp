#include "standins.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "window.h"

namespace setup::test {

Standins::Standins(const fs::path& dir)
    : origin(dir / "mirror", WinePath(SOURCE_DIR "/tests/standin/game")) {}

std::vector<std::wstring> Standins::Args(const std::vector<std::wstring>& more) const {
    std::vector<std::wstring> args{L"--github-api", Web(),      L"--github",
                                   origin.Base(),   L"--nuget", Web()};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

Env Standins::Environment(const Env& more) const {
    Env env{{L"PATH", L"C:\\windows\\system32;C:\\windows"},
            {L"CORVANE_BUILD_PACE", L"0.01"},
            {L"CORVANE_BUILD_PIDS", L""},
            {L"CORVANE_BUILD_FAIL", L""},
            {L"CORVANE_BUILD_MEMORY", L""},
            {L"CORVANE_NINJA_VERSION", L""},
            {L"CMAKE_BUILD_PARALLEL_LEVEL", L""},
            {L"CORVANE_BUILD_NO_LAUNCHER", L""},
            {L"CORVANE_BUILD_BAD_LAUNCHER", L""}};
    env.insert(env.end(), more.begin(), more.end());
    return env;
}

std::wstring Standins::Web() const {
    int port = 0;
    std::ifstream(WinePath(SERVER_PORT_FILE)) >> port;
    if (port == 0) ADD_FAILURE() << "No test server: run the tests through ctest, which starts it.";
    return L"http://127.0.0.1:" + std::to_wstring(port) + L"/web/standin";
}

fs::path DiscImage(const fs::path& dir) {
    fs::path image = dir / "games" / "Corvane (disc).iso";
    std::mt19937 random(7);
    std::string bytes(1 << 20, '\0');
    for (char& b : bytes) b = static_cast<char>(random());
    // An Xbox 360 disc's header where the game partition's first layout has it.
    bytes.replace(0x10000, 20, "MICROSOFT*XBOX*MEDIA");
    WriteBytes(image, bytes);
    return image;
}

HWND RunEnd(const App& app, std::chrono::seconds limit) {
    const std::wstring lowDisk = L" GB is needed. Continue anyway?";
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        HWND box = app.Box(std::chrono::seconds(1));
        if (!box) continue;
        std::wstring text = App::BoxText(box);
        if (text.size() < lowDisk.size() ||
            text.compare(text.size() - lowDisk.size(), lowDisk.size(), lowDisk) != 0)
            return box;
        App::Answer(box, IDYES);  // this machine's free space isn't what these tests are about
    }
    return nullptr;
}

HWND RunWith(App& app, const fs::path& source, const fs::path& install) {
    app.SetText(kIdSource, source.native());
    app.SetText(kIdInstallDir, install.native());
    app.Click(kIdStart);
    return RunEnd(app);
}

bool FirstInstall(const Standins& standins, const fs::path& image, const fs::path& install,
                  const Env& more) {
    App app(standins.Args(), standins.Environment(more));
    HWND box = RunWith(app, image, install);
    if (!box) return false;
    bool done = App::BoxText(box).rfind(kDone, 0) == 0;
    App::Answer(box, IDOK);
    return done;
}

std::vector<std::string> LastRun(const fs::path& log) {
    std::vector<std::string> lines = LogLines(log);
    std::size_t start = 0;
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].rfind("Corvane Recompiled Setup, installing to ", 0) == 0) start = i;
    return std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(start),
                                    lines.end());
}

std::string Ending(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = lines.size() > 3 ? lines.size() - 3 : 0; i < lines.size(); ++i)
        text += (text.empty() ? "" : "\n") + lines[i];
    return text;
}

std::vector<std::string> Statuses(const std::vector<std::string>& lines) {
    std::vector<std::string> statuses;
    for (const auto& line : lines)
        if (line.rfind("== ", 0) == 0) statuses.push_back(line);
    return statuses;
}

}  // namespace setup::test
