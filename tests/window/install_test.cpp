// Whole runs of the real setup window under Wine against the stand-ins: a
// first install that downloads every tool, clones and builds; an update;
// Cancel in the middle of the build; --update, which ends in the launcher.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <thread>

#include "app.h"
#include "compiles.h"
#include "os.h"
#include "standins.h"
#include "temp.h"
#include "window.h"
#include "window_texts.h"

namespace setup::test {
namespace {

using Lines = std::vector<std::string>;

const Lines kFirstInstallStatus = {
    "== Checking the tools",
    "== Getting the build tools and the source code",
    "== Building (the first build takes 10-30 minutes)",
    "== Finishing",
};
const Lines kUpdateStatus = {
    "== Checking the tools",
    "== Updating the source code",
    "== Building (an update rebuilds only what changed: usually minutes)",
    "== Finishing",
};

bool Has(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool HasPrefix(const Lines& lines, const std::string& prefix) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

bool Contains(const Lines& lines, const std::string& part) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(part) != std::string::npos; });
}

// Whether a process of that id is still running.
bool Alive(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return false;
    DWORD code = 0;
    bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}

class HttpWindowInstall : public ::testing::Test {
  protected:
    // The window with the disc image and the install folder chosen.
    void Choose(App& app) {
        app.SetText(kIdSource, image.native());
        app.SetText(kIdInstallDir, install.native());
    }

    std::string Quoted(const fs::path& path) { return "\"" + path.string() + "\""; }
    void PacedRun(const std::wstring& paced, unsigned dpi);

    TempDir dir;
    Standins standins{dir.path()};
    fs::path image = DiscImage(dir.path());
    fs::path install = dir / "Corvane-Recomp";
    fs::path repo = install / "corvane-recomp";
    fs::path runtime = repo / "build" / "runtime";
    fs::path launcher = runtime / "CorvaneLauncher.exe";
    fs::path log = install / "setup.log";
};

TEST_F(HttpWindowInstall, FirstInstallDownloadsTheToolsClonesBuildsAndOffersPlay) {
    App app(standins.Args(), standins.Environment());
    Choose(app);
    app.Click(kIdStart);
    EXPECT_EQ(app.Text(kIdStart), kCancelButton);
    HWND box = RunEnd(app);
    ASSERT_TRUE(box);
    const std::wstring done = Summary(install);
    EXPECT_EQ(App::BoxText(box), done);
    EXPECT_EQ(app.Text(kIdStatus), OneLine(done));
    EXPECT_EQ(SendMessageW(app.Control(kIdProgress), PBM_GETPOS, 0, 0), 100);
    EXPECT_TRUE(app.Visible(kIdPlay));
    app.Shot("installed-message");
    App::Answer(box, IDOK);
    EXPECT_EQ(app.Text(kIdStart), kUpdateButton);
    app.Click(kIdDetails);
    app.Shot("installed-details");

    Lines run = LastRun(log);
    ASSERT_FALSE(run.empty());
    EXPECT_TRUE(run.front().starts_with("Corvane Recompiled Setup, installing to " +
                                        install.string() + "; version "))
        << run.front();
    EXPECT_EQ(Statuses(run), kFirstInstallStatus);
    for (const char* tool : {"Git", "CMake", "Ninja", "Clang", "Python"})
        EXPECT_TRUE(HasPrefix(run, std::string(tool) + ": downloading " + Narrow(standins.Web())))
            << tool;
    EXPECT_TRUE(Has(run, "The source folder is on branch main: updating that branch."));
    EXPECT_TRUE(Has(run, "$ python -u tools\\build.py --iso " + Quoted(image)));
    EXPECT_TRUE(Has(run, "==> Extracting the game's files"));
    EXPECT_FALSE(Contains(run, "% extracted"));  // progress lines move the bar only
    EXPECT_TRUE(Has(run, "[40/40] Building CXX object src/ppc/func_0040.cpp.obj"));
    EXPECT_EQ(Ending(run), Narrow(done));

    EXPECT_TRUE(Exists(repo / "game" / "extracted" / "default.xex"));
    EXPECT_TRUE(fs::is_regular_file(launcher));
    for (const auto& entry : fs::directory_iterator(install / "tools"))
        EXPECT_TRUE(entry.is_directory()) << entry.path();  // no archive left
    os::ThreadScope apartment;                              // the shell's reader of shortcuts
    auto link = standins.desktop.Read();
    ASSERT_TRUE(link);
    EXPECT_EQ(link->target, launcher);
    EXPECT_EQ(link->workingDir, runtime);
    EXPECT_EQ(link->description, L"Corvane Recompiled");

    // Play starts the launcher in its own folder and closes the window.
    app.Click(kIdPlay);
    EXPECT_TRUE(app.Exited(std::chrono::seconds(20)));
    fs::path marker = runtime / "launched.txt";
    EXPECT_TRUE(Until([&] { return Exists(marker); }));
    EXPECT_EQ(ReadBytes(marker), "started in " + runtime.string() + "\n");
}

TEST_F(HttpWindowInstall, ASecondRunUpdatesWithoutDownloadsOrDisc) {
    ASSERT_TRUE(FirstInstall(standins, image, install));
    standins.origin.Commit("NEWS", "new\n");

    App app(standins.Args(), standins.Environment());
    HWND box = RunWith(app, {}, install);
    ASSERT_TRUE(box);
    // The stand-in git's short ids are its revisions' first seven characters.
    const std::wstring updated = L"The source code was updated from ";
    EXPECT_EQ(App::BoxText(box).rfind(Summary(install, updated), 0), 0u)
        << Narrow(App::BoxText(box));
    app.Click(kIdDetails);
    app.Shot("updated");
    App::Answer(box, IDOK);

    Lines run = LastRun(log);
    EXPECT_EQ(Statuses(run), kUpdateStatus);
    EXPECT_FALSE(Contains(run, ": downloading "));
    EXPECT_TRUE(Has(run, "Git: " + (install / "tools" / "Git" / "cmd" / "git.exe").string()));
    EXPECT_TRUE(Has(run, "Fast-forward"));
    EXPECT_TRUE(Has(run, "$ python -u tools\\build.py"));
    EXPECT_FALSE(Has(run, "==> Extracting the game's files"));
    EXPECT_EQ(ReadBytes(repo / "NEWS"), "new\n");
    EXPECT_TRUE(HasPrefix(run, Narrow(updated)));
}

// An install folder of 200 characters and a source file 120 characters below
// the repository's root: past the 260 that Windows and Git for Windows hold
// paths to unless they are told otherwise.
TEST_F(HttpWindowInstall, PathsPastTheOldLimitInstallAndUpdate) {
    std::size_t room = 200 - (dir / "Games" / "Corvane-Recomp").string().size() - 1;
    ASSERT_GT(room, 20u);
    install = dir / "Games" / std::string(room, 'n') / "Corvane-Recomp";
    repo = install / "corvane-recomp";
    log = install / "setup.log";
    ASSERT_EQ(install.string().size(), 200u);
    const std::string deep =
        "src/" + std::string(53, 'd') + "/" + std::string(53, 'e') + "/deep.cpp";
    ASSERT_EQ(deep.size(), 120u);
    standins.origin.Commit(deep, "first\n");
    // What a clone stopped half-way leaves, which the run deletes first: the
    // C runtime's walk, which deletes of whole folders use, stops short of it.
    WriteBytes(install / "corvane-recomp.partial" / deep, "stopped\n");

    // A scanner holds the new clone for a moment, as on a real machine.
    bool installed = FirstInstall(standins, image, install, {{L"CORVANE_GIT_SCAN", L"1500"}});
    Lines first = LastRun(log);
    std::string tail;
    for (std::size_t i = first.size() > 12 ? first.size() - 12 : 0; i < first.size(); ++i)
        tail += first[i] + "\n";
    ASSERT_TRUE(installed) << tail;
    EXPECT_EQ(ReadBytes(repo / deep), "first\n");
    const std::string git =
        "$ git -c core.longpaths=true -c safe.directory=\"" + repo.generic_string() + "\" ";
    EXPECT_TRUE(HasPrefix(first, git + "clone "));
    EXPECT_TRUE(HasPrefix(first, "Another program is using " + Narrow(install.native()) +
                                     "\\corvane-recomp.partial ("));

    standins.origin.Commit(deep, "second\n");
    App app(standins.Args(), standins.Environment());
    HWND box = RunWith(app, {}, install);
    ASSERT_TRUE(box);
    EXPECT_EQ(App::BoxText(box).rfind(Summary(install, L"The source code was updated from "), 0),
              0u);
    App::Answer(box, IDOK);
    EXPECT_EQ(ReadBytes(repo / deep), "second\n");
    Lines update = LastRun(log);
    for (const char* command : {"fetch --tags --force origin", "pull --ff-only"})
        EXPECT_TRUE(HasPrefix(update, git + "-C " + Quoted(repo) + " " + command)) << command;
}

// Esc's question left open while the run ends asks about nothing any more:
// it goes, and the summary is the one box left.
TEST_F(HttpWindowInstall, ARunThatEndsWhileEscAsksTakesTheQuestionAway) {
    App app(standins.Args(), standins.Environment({{L"CORVANE_BUILD_PACE", L"0.1"}}));
    Choose(app);
    app.Click(kIdStart);
    ASSERT_TRUE(Until([&] { return app.Text(kIdLog).find(L"\r\n[3/40] ") != std::wstring::npos; },
                      std::chrono::seconds(180)));
    app.Key(VK_ESCAPE);
    HWND question = app.Box(StopQuestion(Stage::kBuild));
    ASSERT_TRUE(question);
    EXPECT_TRUE(Until([&] { return !IsWindowVisible(question); }, std::chrono::seconds(60)));
    HWND box = app.Box();
    ASSERT_TRUE(box);
    EXPECT_EQ(App::BoxText(box).rfind(kDone, 0), 0u) << Narrow(App::BoxText(box));
    App::Answer(box, IDOK);
    EXPECT_EQ(app.Text(kIdStart), kUpdateButton);
}

TEST_F(HttpWindowInstall, CancelDuringTheBuildLeavesNoProcessOfIt) {
    fs::path pids = dir / "pids.txt";
    // A build slow enough to tell its pace (20 s) and still be going after.
    App app(standins.Args(), standins.Environment({{L"CORVANE_BUILD_PACE", L"1"},
                                                   {L"CORVANE_BUILD_PIDS", pids.native()}}));
    Choose(app);
    app.Click(kIdStart);
    // The extraction shows its own figure, not the last download's.
    EXPECT_TRUE(Until(
        [&] {
            return app.Text(kIdStatus).ends_with(L"Extracting the game's files") &&
                   app.Text(kIdFigures).ends_with(L" %");
        },
        std::chrono::seconds(180)))
        << Narrow(app.Text(kIdFigures));
    ASSERT_TRUE(Until([&] { return app.Text(kIdLog).find(L"\r\n[3/40] ") != std::wstring::npos; },
                      std::chrono::seconds(180)));
    // The status says how far the build is, under the run's stage.
    EXPECT_TRUE(Until([&] {
        std::wstring status = app.Text(kIdStatus);
        return status.starts_with(L"Step 3 of 4: Building") &&
               app.Text(kIdFigures).find(L" of 40") != std::wstring::npos;
    })) << Narrow(app.Text(kIdStatus));
    // Enter and Space leave it running: Cancel is neither default nor focused.
    for (UINT key : {VK_RETURN, VK_SPACE}) app.Key(key);
    app.Settle();
    EXPECT_EQ(app.Box(std::chrono::milliseconds(300)), nullptr);
    app.Click(kIdDetails);
    EXPECT_TRUE(
        Until([&] { return app.Text(kIdFigures).ends_with(L" left"); }, std::chrono::seconds(60)))
        << Narrow(app.Text(kIdStatus));
    app.Shot("building");
    // Esc asks before it throws the build away; No lets the build go on.
    app.Key(VK_ESCAPE);
    HWND box = app.Box(StopQuestion(Stage::kBuild));
    ASSERT_TRUE(box);
    app.Shot("stop-question");
    App::Answer(box, IDNO);
    EXPECT_TRUE(Until([&] { return app.Text(kIdLog).find(L"\r\n[6/40] ") != std::wstring::npos; },
                      std::chrono::seconds(60)));
    EXPECT_EQ(app.Text(kIdStart), kCancelButton);
    // The Cancel button asks the same question.
    app.Click(kIdStart);
    box = app.Box(StopQuestion(Stage::kBuild));
    ASSERT_TRUE(box);
    App::Answer(box, IDYES);
    // The game's files were extracted before the build: an install to update.
    EXPECT_TRUE(Until([&] { return app.Text(kIdStart) == kUpdateButton; }));
    EXPECT_EQ(LogLines(log).back(), "Cancelled.");

    // The build script and the ninja it started, both ended.
    std::istringstream ids(ReadBytes(pids));
    std::vector<DWORD> build;
    for (DWORD pid; ids >> pid;) build.push_back(pid);
    EXPECT_EQ(build.size(), 2u);
    for (DWORD pid : build) EXPECT_FALSE(Alive(pid)) << pid;
}

TEST_F(HttpWindowInstall, PacedDownloadsShowOneLineAndBarAndCancelStopsThem) {
    // The stand-in's releases, their downloads paced by the server.
    fs::path web = WinePath(SERVER_PORT_FILE).parent_path() / "web";
    std::string name = "paced-" + dir.path().filename().string();
    struct Gone {
        fs::path path;
        ~Gone() {
            std::error_code ec;
            fs::remove_all(path, ec);
        }
    } held{web / name};
    for (const auto& entry : fs::recursive_directory_iterator(web / "standin" / "repos")) {
        if (entry.path().filename() != "latest") continue;
        std::string json = ReadBytes(entry.path()), from = "/web/standin/download/";
        for (auto at = json.find(from); at != std::string::npos; at = json.find(from, at))
            json.replace(at, from.size(), "/paced/65536/100/standin/download/");
        fs::path to = held.path / entry.path().lexically_relative(web / "standin");
        fs::create_directories(to.parent_path());
        WriteBytes(to, json);
    }
    std::wstring paced = standins.Web();
    paced.replace(paced.rfind(L"standin"), 7, fs::path(name).wstring());
    for (unsigned dpi : {96u, 144u}) PacedRun(paced, dpi);
}

void HttpWindowInstall::PacedRun(const std::wstring& paced, unsigned dpi) {
    App app(
        {L"--github-api", paced, L"--github", standins.origin.Base(), L"--nuget", standins.Web()},
        standins.Environment(), HeldExe(), {dpi});
    Choose(app);
    auto began = std::chrono::steady_clock::now();
    app.Click(kIdStart);
    // The stage, and under it "2 MB of 11 MB, 640 KB/s, about 14 s left": each fits.
    std::wstring status;
    ASSERT_TRUE(Until(
        [&] {
            status = app.Text(kIdStatus);
            return status == L"Step 2 of 4: Getting the build tools and the source code" &&
                   app.Text(kIdFigures).find(L"/s, about ") != std::wstring::npos;
        },
        std::chrono::seconds(60)))
        << Narrow(status);
    app.Probe(0);
    for (int id : {kIdStatus, kIdFigures})
        EXPECT_LE(App::Probed(app.Control(id), L"TextWidth"),
                  app.Rect(id).right - app.Rect(id).left);
    auto bar = SendMessageW(app.Control(kIdProgress), PBM_GETPOS, 0, 0);
    EXPECT_TRUE(bar > 0 && bar < 100) << bar;
    ExpectAccessible(app);
    // Read out: the stage; of the figures, changing many times a second, one line in ten seconds.
    auto tens = (std::chrono::steady_clock::now() - began) / std::chrono::seconds(10);
    std::intptr_t figures = App::Probed(app.Control(kIdFigures), L"Spoken");
    EXPECT_GE(App::Probed(app.Control(kIdStatus), L"Spoken"), 1);
    EXPECT_TRUE(figures >= 1 && figures <= 1 + tens) << figures;
    app.Shot(dpi == 96 ? "getting-the-tools" : "getting-the-tools-150");
    app.Click(kIdStart);
    HWND box = app.Box(StopQuestion(Stage::kGetting));
    ASSERT_TRUE(box);
    App::Answer(box, IDYES);
    EXPECT_TRUE(Until([&] { return app.Text(kIdStatus) == kCancelledNote; }));
    EXPECT_EQ(LogLines(log).back(), "Cancelled.");
    // The stopped download's figures are gone, and the status is whole.
    EXPECT_FALSE(app.Visible(kIdFigures));
    app.Probe(0);
    EXPECT_LE(App::Probed(app.Control(kIdStatus), L"WrapHeight"),
              app.Rect(kIdStatus).bottom - app.Rect(kIdStatus).top);
    if (App::Probed(app.Control(kIdStatus), L"TextWidth") >
        app.Rect(kIdStatus).right - app.Rect(kIdStatus).left) {
        EXPECT_FALSE(GetWindowLongW(app.Control(kIdStatus), GWL_STYLE) & SS_ENDELLIPSIS);
    }
    app.Shot(dpi == 96 ? "stopped" : "stopped-150");
}

TEST_F(HttpWindowInstall, ABuildThatFailsOrLeavesNoLauncherEndsInAWarning) {
    struct Case {
        const wchar_t* knob;
        std::wstring message;
        std::string logged;  // what the build said, in the log above the message
        std::string shot;
        bool update = false;  // over an install that has its launcher, which Play keeps
    } cases[] = {
        {L"CORVANE_BUILD_FAIL",
         L"The build failed. Run Setup again; if it fails again, report it at "
         L"https://github.com/tallowfen/corvane-recomp/issues with setup.log attached.",
         "ninja: build stopped: subcommand failed.", "failed-build"},
        {L"CORVANE_BUILD_FAIL",
         L"The build failed. Run Setup again; if it fails again, report it with Help > Report a "
         L"bug in the launcher, or at https://github.com/tallowfen/corvane-recomp/issues with "
         L"setup.log attached.",
         "ninja: build stopped: subcommand failed.", "failed-update", true},
        {L"CORVANE_BUILD_NO_LAUNCHER", L"The build finished but CorvaneLauncher.exe isn't there.",
         "==> Done", "no-launcher"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.knob));
        install = dir / (Narrow(c.knob) + (c.update ? "-update" : ""));
        if (c.update) {
            ASSERT_TRUE(FirstInstall(standins, image, install));
        }
        App app(standins.Args(), standins.Environment({{c.knob, L"1"}}));
        Choose(app);
        app.Click(kIdStart);
        HWND box = RunEnd(app);
        ASSERT_TRUE(box);
        EXPECT_EQ(App::BoxText(box), c.message);
        EXPECT_TRUE(app.Visible(kIdLog));
        EXPECT_EQ(app.Visible(kIdPlay), c.update);
        app.Shot(c.shot);
        App::Answer(box, IDOK);
        EXPECT_EQ(app.Text(kIdStart), kUpdateButton);  // the game's files are there
        Lines run = LastRun(install / "setup.log");
        EXPECT_EQ(run.back(), Narrow(c.message));
        EXPECT_TRUE(Has(run, c.logged));
    }
}

// The build tool's default count runs out of memory; half of it fits.
TEST_F(HttpWindowInstall, ABuildOutOfMemoryGoesOnWithFewerAndSucceeds) {
    int count = DefaultCount(std::max(1u, std::thread::hardware_concurrency()));
    App app(standins.Args(),
            standins.Environment({{L"CORVANE_BUILD_MEMORY", std::to_wstring(count / 2)}}));
    Choose(app);
    app.Click(kIdStart);
    const std::wstring going = L"The build ran out of memory with " + std::to_wstring(count) +
                               L" compiles at once; continuing with " + std::to_wstring(count / 2) +
                               L" (what was built is kept).";
    EXPECT_TRUE(
        Until([&] { return app.Text(kIdStatus).ends_with(going); }, std::chrono::seconds(60)));
    app.Shot("out-of-memory-going-on");
    HWND box = RunEnd(app);
    ASSERT_TRUE(box);
    EXPECT_EQ(App::BoxText(box), Summary(install) +
                                     L"\n\nThe build ran short of memory and went "
                                     L"on with fewer compiles at once.");
    Lines run = LastRun(log);
    EXPECT_TRUE(Has(run, "LLVM ERROR: out of memory"));
    EXPECT_TRUE(Has(run, "== " + Narrow(going)));
}

// A Ninja that takes part gets its tokens from Setup's semaphore.
TEST_F(HttpWindowInstall, ANewerNinjaTakesItsTokensFromTheJobserver) {
    App app(standins.Args(), standins.Environment({{L"CORVANE_NINJA_VERSION", L"1.13.2"}}));
    Choose(app);
    app.Click(kIdStart);
    HWND box = RunEnd(app);
    ASSERT_TRUE(box);
    EXPECT_EQ(App::BoxText(box), Summary(install));
    Lines run = LastRun(log);
    EXPECT_TRUE(Has(run, "ninja: a job on a token of the jobserver"));
    EXPECT_TRUE(std::any_of(run.begin(), run.end(), [](const std::string& line) {
        return line.starts_with("Compiles at once: as memory allows, up to ");
    }));
}

TEST_F(HttpWindowInstall, UpdateOptionRunsThenStartsTheLauncherAndCloses) {
    ASSERT_TRUE(FirstInstall(standins, image, install));
    App app(standins.Args({L"--update", install.native()}), standins.Environment());
    EXPECT_TRUE(app.Exited(std::chrono::seconds(180)));
    Lines run = LastRun(log);
    EXPECT_EQ(Statuses(run), kUpdateStatus);
    EXPECT_EQ(Ending(run), Narrow(Summary(install, kUpToDate)));
    fs::path marker = runtime / "launched.txt";
    EXPECT_TRUE(Until([&] { return Exists(marker); }));
    EXPECT_EQ(ReadBytes(marker), "started in " + runtime.string() + "\n");
}

TEST_F(HttpWindowInstall, QuietCommandLineRunInstallsAndEndsWithZero) {
    // A drive short of space: --yes answers the run's question for it.
    Env env = standins.Environment({{L"CORVANE_TEST_FREE_BYTES", L"3221225472"}});
    App app(standins.Args({L"--source", image.native(), L"--install-dir", install.native(),
                           L"--shortcut", L"--yes", L"--quiet"}),
            env, HeldExe());
    ASSERT_TRUE(app.Exited(std::chrono::seconds(180)));
    EXPECT_EQ(app.ExitCode(), 0);
    EXPECT_EQ(Ending(LastRun(log)), Narrow(Summary(install)));
    EXPECT_TRUE(fs::is_regular_file(launcher));
    os::ThreadScope apartment;
    EXPECT_TRUE(standins.desktop.Read());
}

}  // namespace
}  // namespace setup::test
