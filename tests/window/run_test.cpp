// Starting a run from the window: the checks before it, the busy state, the
// messages of the run, its end, cancelling and closing.
#include <windows.h>

#include <commctrl.h>
#include <shobjidl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>

#include "app.h"
#include "standins.h"
#include "temp.h"
#include "version.h"
#include "window.h"
#include "window_texts.h"

namespace setup::test {
namespace {

const std::wstring kMissingSource =
    L"Choose your Corvane disc image (.iso) or extracted disc folder first.";
const std::wstring kHeader = L"Corvane Recompiled Setup, installing to ";
const std::wstring kSmallCause = L"it holds 17 bytes, and a disc image holds at least 1 MB";

// The choices, all of them enabled, and nothing started.
void ExpectIdle(const App& app, const std::wstring& start = kInstallButton) {
    EXPECT_EQ(app.Text(kIdStart), start);
    for (int id : {kIdSource, kIdSourceBrowse, kIdInstallDir, kIdInstallDirBrowse, kIdShortcut,
                   kIdFreeSpace, kIdSourceIso, kIdSourceFolder})
        EXPECT_TRUE(app.Enabled(id)) << id;
}

void ExpectBusy(const App& app) {
    EXPECT_EQ(app.Text(kIdStart), kCancelButton);
    for (int id : {kIdSource, kIdSourceBrowse, kIdInstallDir, kIdInstallDirBrowse, kIdShortcut,
                   kIdFreeSpace, kIdSourceIso, kIdSourceFolder, kIdDeleteImage})
        EXPECT_FALSE(app.Enabled(id)) << id;
    EXPECT_TRUE(app.Enabled(kIdStart));
    EXPECT_TRUE(app.Enabled(kIdDetails));
    EXPECT_FALSE(app.Visible(kIdPlay));
}

// An install's look: nothing to choose about the source, Update to press.
void ExpectUpdateLook(const App& app) {
    EXPECT_EQ(app.Text(kIdStart), kUpdateButton);
    EXPECT_EQ(app.Text(kIdSourceNote), kInstalledNote);
    for (int id : {kIdSource, kIdSourceBrowse, kIdSourceIso, kIdSourceFolder, kIdDeleteImage})
        EXPECT_FALSE(app.Enabled(id)) << id;
    for (int id : {kIdInstallDir, kIdInstallDirBrowse, kIdShortcut, kIdFreeSpace})
        EXPECT_TRUE(app.Enabled(id)) << id;
}

// Enter on a message box, as the keyboard gives it to the box's focus.
void PressEnter(HWND box) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &info);
    HWND target = info.hwndFocus ? info.hwndFocus : box;
    PostMessageW(target, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageW(target, WM_KEYUP, VK_RETURN, 0xC0000001);
}

std::wstring Caption(HWND box) {
    wchar_t caption[64] = L"";
    GetWindowTextW(box, caption, 64);
    return caption;
}

int Progress(const App& app) {
    return static_cast<int>(SendMessageW(app.Control(kIdProgress), PBM_GETPOS, 0, 0));
}

bool Marquee(const App& app) {
    return GetWindowLongW(app.Control(kIdProgress), GWL_STYLE) & PBS_MARQUEE;
}

// A window with a real disc image file chosen and an install folder of its own.
class WindowRun : public ::testing::Test {
  protected:
    void SetUp() override {
        image = dir / "Corvane.iso";
        WriteDiscImage(image);
        small = dir / "small.iso";
        WriteBytes(small, "not really a disc");
        install = dir / "install";
    }
    // The run from the small image: it fails with a cause, after the header.
    std::wstring Unreadable() const {
        return small.native() + L" isn't a disc image Setup can read.";
    }
    // The log without the header's version and start time, which vary.
    static std::wstring Undated(const std::wstring& log) {
        return std::regex_replace(log, std::wregex(L"; version [^\r]*"), L"");
    }
    std::wstring RunLog() const {
        return kHeader + install.native() + L"\r\ncaused by: " + kSmallCause + L"\r\n" +
               Unreadable() + L"\r\n";
    }
    void Choose(App& app, const fs::path& source) {
        app.SetText(kIdSource, source.native());
        app.SetText(kIdInstallDir, install.native());
    }
    // Presses Start and returns the message box the press leads to.
    HWND StartAndAnswer(App& app) {
        app.Click(kIdStart);
        return app.Box();
    }

    TempDir dir;
    fs::path image, small, install;
};

TEST_F(WindowRun, EmptyInstallFolderAsksForOne) {
    App app;
    app.SetText(kIdInstallDir, L"");
    HWND box = StartAndAnswer(app);
    ASSERT_TRUE(box);
    EXPECT_EQ(App::BoxText(box), kNoInstallDir);
    EXPECT_EQ(Caption(box), kTitle);
    app.Shot("no-install-folder");
    App::Answer(box, IDOK);
    ExpectIdle(app);
    EXPECT_EQ(app.Text(kIdStatus), kReady);
}

TEST_F(WindowRun, NonEnglishFolderIsQuestionedFirst) {
    install = dir.path() / L"Jos\u00e9" / "Corvane-Recomp";
    App app;
    Choose(app, dir / "missing.iso");
    HWND box = StartAndAnswer(app);
    ASSERT_TRUE(box);
    EXPECT_EQ(App::BoxText(box), kNonEnglishQuestion);
    App::Answer(box, IDNO);
    app.Settle();
    ExpectIdle(app);
    EXPECT_FALSE(Exists(install));

    Choose(app, small);
    box = StartAndAnswer(app);
    ASSERT_TRUE(box);
    App::Answer(box, IDYES);
    // The run starts, and ends on the disc image it can't use.
    box = app.Box(Unreadable());
    ASSERT_TRUE(box);
    EXPECT_TRUE(Exists(install / "setup.log"));
    App::Answer(box, IDOK);
}

// A source that isn't there, or a folder chosen as an image, is refused
// before the run has made anything.
TEST_F(WindowRun, ASourceThatIsntThereMakesNothing) {
    fs::create_directories(dir / "folder");
    const struct {
        fs::path source;
        std::wstring message;
    } cases[] = {
        {{}, kMissingSource},
        {dir / "missing.iso", (dir / "missing.iso").native() + L" doesn't exist."},
        {dir / "folder", (dir / "folder").native() + L" isn't a disc image Setup can read."},
    };
    App app;
    for (const auto& c : cases) {
        Choose(app, c.source);
        HWND box = StartAndAnswer(app);
        ASSERT_TRUE(box);
        EXPECT_EQ(App::BoxText(box), c.message);
        App::Answer(box, IDOK);
        app.Settle();
        ExpectIdle(app);
        EXPECT_FALSE(Exists(install));
    }
}

TEST_F(WindowRun, ExtractedFolderMustBeAFolder) {
    App app;
    app.Click(kIdSourceFolder);
    for (const fs::path& source : {image, dir / "missing"}) {
        Choose(app, source);
        HWND box = StartAndAnswer(app);
        ASSERT_TRUE(box);
        EXPECT_EQ(App::BoxText(box), kNotAFolder);
        App::Answer(box, IDOK);
        app.Settle();
        ExpectIdle(app);
        EXPECT_FALSE(Exists(install));
    }
}

TEST_F(WindowRun, DeletingTheImageIsConfirmedWithItsPath) {
    App app({}, {{L"CORVANE_TEST_HOLD", L"1"}, {L"CORVANE_TEST_FREE_BYTES", L""}}, HeldExe());
    Choose(app, image);
    app.Check(kIdDeleteImage, true);
    HWND box = StartAndAnswer(app);
    ASSERT_TRUE(box);
    EXPECT_EQ(App::BoxText(box), DeleteQuestion(image.native()));
    app.Shot("delete-image-question");
    App::Answer(box, IDCANCEL);
    app.Settle();
    ExpectIdle(app);
    EXPECT_FALSE(Exists(install));
    EXPECT_TRUE(Exists(image));
    // Keeping the image, the default, installs without deleting it.
    box = StartAndAnswer(app);
    ASSERT_TRUE(box);
    PressEnter(box);
    EXPECT_TRUE(Until([&] { return app.Text(kIdStart) == kCancelButton; }));
    EXPECT_FALSE(app.Checked(kIdDeleteImage));
    app.Post(WM_CLOSE);
    App::Answer(app.Box(StopQuestion(Stage::kStart)), IDYES);
    EXPECT_TRUE(app.Exited(std::chrono::seconds(10)));
}

int TaskbarState(const App& app) {
    return static_cast<int>(App::Probed(app.window(), L"TaskbarState"));
}

// A stand-in text viewer registered for .log and .txt files in the test
// prefix while the object lives. Wine's file types are the machine's alone
// (HKEY_CLASSES_ROOT doesn't take the user's): registered there.
class Viewer {
  public:
    Viewer() {
        for (const wchar_t* kind : kKinds) {
            std::wstring key = std::wstring(kClasses) + kind;
            HKEY open = nullptr;
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &open) == 0) {
                wchar_t value[256] = L"";
                DWORD size = sizeof value;
                RegGetValueW(open, nullptr, nullptr, RRF_RT_REG_SZ, nullptr, value, &size);
                old_.push_back(value);
                RegCloseKey(open);
            } else {
                old_.push_back(L"");
            }
            Set(key, kType);
        }
        Set(std::wstring(kClasses) + kType + L"\\shell\\open\\command",
            L"\"" + WinePath(VIEWER_EXE).native() + L"\" \"%1\"");
    }
    ~Viewer() {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(kClasses) + kType).c_str());
        for (std::size_t i = 0; i < old_.size(); ++i) {
            std::wstring key = std::wstring(kClasses) + kKinds[i];
            if (old_[i].empty())
                RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
            else
                Set(key, old_[i]);
        }
    }
    Viewer(const Viewer&) = delete;
    Viewer& operator=(const Viewer&) = delete;

  private:
    static constexpr wchar_t kClasses[] = L"Software\\Classes\\";
    static constexpr const wchar_t* kKinds[] = {L".log", L".txt"};
    static constexpr wchar_t kType[] = L"CorvaneTest.text";
    static void Set(const std::wstring& key, const std::wstring& value) {
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, REG_SZ, value.c_str(),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    std::vector<std::wstring> old_;
};

// The box's child of that class and text, or nullptr.
HWND ChildWith(HWND box, const wchar_t* type, const std::wstring& text) {
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t kind[32] = L"", buffer[512] = L"";
        GetClassNameW(c, kind, 32);
        SendMessageW(c, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer));
        if (_wcsicmp(kind, type) == 0 && text == buffer) return c;
    }
    return nullptr;
}

TEST_F(WindowRun, FailedRunWarnsAndOpensTheLog) {
    Viewer viewer;
    fs::path opened = dir / "opened.txt";
    App app({}, {{L"CORVANE_TEST_VIEWER_OUT", opened.native()}}, HeldExe());
    Choose(app, small);
    HWND box = StartAndAnswer(app);
    ASSERT_TRUE(box);
    EXPECT_EQ(TaskbarState(app), TBPF_ERROR);
    EXPECT_EQ(App::BoxText(box), Unreadable());
    EXPECT_EQ(Caption(box), kTitle);
    EXPECT_EQ(app.Text(kIdStatus), Unreadable());
    EXPECT_EQ(app.Client().cy, 672);
    EXPECT_TRUE(app.Visible(kIdLog));
    EXPECT_EQ(app.Text(kIdDetails), kHideDetails);
    EXPECT_EQ(Undated(app.Text(kIdLog)), RunLog());
    // A task dialog: the cause under its details, and the three ways on.
    EXPECT_TRUE(ChildWith(box, L"Static", kSmallCause));
    HWND openLog = ChildWith(box, L"Button", L"Open &log");
    ASSERT_TRUE(openLog);
    EXPECT_TRUE(ChildWith(box, L"Button", L"Open &folder"));
    EXPECT_TRUE(ChildWith(box, L"Button", L"&Close"));
    app.Shot("failed-run");

    // Open log starts the text viewer with setup.log, and the box stays.
    SendNotifyMessageW(openLog, BM_CLICK, 0, 0);
    std::string log = Narrow((install / "setup.log").native());
    EXPECT_TRUE(Until([&] { return ReadBytes(opened) == log; })) << ReadBytes(opened);
    EXPECT_TRUE(IsWindow(box));
    App::Answer(box, IDOK);
    ExpectIdle(app);
    EXPECT_FALSE(app.Visible(kIdPlay));
    EXPECT_EQ(Progress(app), 0);
    SetForegroundWindow(app.window());  // back from the viewer, which has the front
    EXPECT_TRUE(Until([&] { return app.Focus() == app.Control(kIdStart); }));
    ExpectAccessible(app);
    // The way back to setup.log stays beside the status.
    WriteBytes(opened, "");
    app.Click(kIdViewLog);
    EXPECT_TRUE(Until([&] { return ReadBytes(opened) == log; })) << ReadBytes(opened);
    // No program set up for .log files: Notepad (here the stand-in) opens it.
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.log");
    wchar_t system[MAX_PATH] = L"";
    GetSystemDirectoryW(system, MAX_PATH);
    // The tests' own prefix keeps the stand-in, as it keeps the one for tar.exe,
    // and runs it rather than Wine's own Notepad.
    fs::copy_file(WinePath(VIEWER_EXE), fs::path(system) / "notepad.exe",
                  fs::copy_options::overwrite_existing);
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", L"notepad.exe", REG_SZ,
                    L"native", sizeof L"native");
    WriteBytes(opened, "");
    app.Click(kIdViewLog);
    EXPECT_TRUE(Until([&] { return ReadBytes(opened) == log; })) << ReadBytes(opened);
}

// Log text of the given length, in numbered lines as a long run leaves them.
std::wstring Lines(std::size_t length) {
    std::wstring text;
    for (int n = 0; text.size() < length; ++n)
        text +=
            L"line " + std::to_wstring(n) + L" of a long build, as the build script says it\r\n";
    text.resize(length);
    return text;
}

TEST_F(WindowRun, LogDropsItsOldestHundredThousandCharactersPastFourHundredThousand) {
    App app;
    Choose(app, small);
    const std::wstring run = RunLog();
    // 400,001 characters: the run's first line drops exactly the first 100,000
    // of them, in the middle of a line.
    std::wstring full = Lines(400001);
    app.SetText(kIdLog, full);
    HWND box = StartAndAnswer(app);
    ASSERT_TRUE(box);
    App::Answer(box, IDOK);
    std::wstring log = app.Text(kIdLog);
    std::size_t stamp = log.size() - Undated(log).size();
    EXPECT_TRUE(Undated(log) == full.substr(100000) + run);
    EXPECT_EQ(log.size(), 300001 + run.size() + stamp);

    // With the run's lines before its last the log holds exactly 400,000:
    // nothing goes.
    std::wstring before = run.substr(0, run.size() - Unreadable().size() - 2);
    full = Lines(400000 - before.size() - stamp);
    app.SetText(kIdLog, full);
    box = StartAndAnswer(app);
    ASSERT_TRUE(box);
    App::Answer(box, IDOK);
    EXPECT_TRUE(Undated(app.Text(kIdLog)) == full + run);
}

TEST_F(WindowRun, ProgressShowsMarqueeThenPercentCappedAtHundred) {
    App app;
    app.Post(kMsgProgress, static_cast<WPARAM>(-1));
    EXPECT_TRUE(Marquee(app));
    app.Shot("progress-marquee");
    app.Post(kMsgProgress, static_cast<WPARAM>(-1));
    EXPECT_TRUE(Marquee(app));
    // Before the build a figure fills the run's first fifth; the bar never falls.
    app.Post(kMsgProgress, 37);
    EXPECT_FALSE(Marquee(app));
    EXPECT_EQ(Progress(app), 7);
    app.Shot("progress-37");
    app.Post(kMsgProgress, 150);
    EXPECT_EQ(Progress(app), 20);
    app.Post(kMsgProgress, 0);
    EXPECT_EQ(Progress(app), 20);

    // Back from a marquee to the position the bar had before it: painted as
    // before, not left with the marquee's last picture.
    app.Post(kMsgProgress, 100);
    std::vector<COLORREF> full = app.Row(kIdProgress);
    app.Post(kMsgProgress, static_cast<WPARAM>(-1));
    Sleep(300);
    app.Post(kMsgProgress, 100);
    EXPECT_TRUE(app.Row(kIdProgress) == full);
}

TEST_F(WindowRun, ClosingWhileIdleEndsAtOnce) {
    App app;
    app.Post(WM_CLOSE);
    EXPECT_TRUE(app.Exited(std::chrono::seconds(10)));
}

// The test build whose run stays busy until it is cancelled, as a long build would.
const Env kHeld = {{L"CORVANE_TEST_HOLD", L"1"}, {L"CORVANE_TEST_FREE_BYTES", L""}};
// ... and the one whose drive is short of space, so that the run asks first.
const Env kShort = {{L"CORVANE_TEST_HOLD", L""}, {L"CORVANE_TEST_FREE_BYTES", L"3221225472"}};
// ... and the one whose run comes to that question only after it was cancelled.
const Env kShortLater = {{L"CORVANE_TEST_HOLD", L"ask"},
                         {L"CORVANE_TEST_FREE_BYTES", L"3221225472"}};
// The question for 3 GB free on the drive of the install folder.
std::wstring ShortQuestion(const fs::path& install, int needed = 12) {
    return L"Drive " + install.root_name().native() + L" has 3.0 GB free; about " +
           std::to_wstring(needed) + L" GB is needed. Continue anyway?";
}

// On a laptop's screen at 150 %, under a 40 px taskbar.
TEST_F(WindowRun, RunningLocksTheChoicesAndCancelEndsIt) {
    App app({}, {kHeld[0], kHeld[1], {L"CORVANE_TEST_WORK_AREA", L"0 0 1366 728"}}, HeldExe(),
            {144});
    // On an install, then a new folder and Install before the folder check.
    fs::path installed = dir / "installed";
    WriteBytes(installed / "corvane-recomp" / "game" / "extracted" / "default.xex", "XEX2");
    app.SetText(kIdInstallDir, installed.native());
    ASSERT_TRUE(Until([&] { return app.Text(kIdStart) == kUpdateButton; }));
    Choose(app, image);
    app.Click(kIdStart);
    Sleep(700);
    ExpectBusy(app);
    app.Click(kIdDetails);  // still works while busy
    EXPECT_TRUE(app.Visible(kIdLog));
    // The choices fold into one line, and the log gets the room.
    EXPECT_FALSE(app.Visible(kIdSourceGroup));
    EXPECT_EQ(app.Text(kIdSummary), L"From " + image.native() + L" into " + install.native());
    app.Probe(0);
    EXPECT_GE(app.Rect(kIdLog).bottom - app.Rect(kIdLog).top,
              8 * App::Probed(app.Control(kIdStatus), L"TextHeight"));
    EXPECT_LE(app.Frame().bottom, 728);
    ExpectAccessible(app);
    app.Shot("running");
    // The taskbar shows the run, and the machine stays awake for it.
    EXPECT_EQ(TaskbarState(app), TBPF_NORMAL);
    app.Post(kMsgProgress, static_cast<WPARAM>(-1));
    EXPECT_EQ(TaskbarState(app), TBPF_INDETERMINATE);
    app.Post(kMsgProgress, 37);
    EXPECT_EQ(TaskbarState(app), TBPF_NORMAL);
    EXPECT_EQ(App::Probed(app.window(), L"TaskbarValue"), 7);  // the run's first fifth
    const std::intptr_t held = ES_CONTINUOUS | ES_SYSTEM_REQUIRED;
    app.Probe(0);
    EXPECT_EQ(App::Probed(app.window(), L"Awake") & held, held);

    // Cancel asks first, Keep going by default; Enter takes that.
    HWND box = nullptr;
    for (bool stop : {false, true}) {
        app.Click(kIdStart);
        ASSERT_TRUE(box = app.Box(StopQuestion(Stage::kStart)));
        if (stop) break;
        PressEnter(box);
        ASSERT_TRUE(Until([&] { return !IsWindow(box); }));
    }
    App::Answer(box, IDYES);
    EXPECT_EQ(app.Text(kIdStatus), L"Cancelling...");
    EXPECT_EQ(app.Text(kIdStart), kCancelButton);
    ASSERT_TRUE(Until([&] { return app.Text(kIdStatus) == kCancelledNote; }));
    EXPECT_EQ(app.Box(std::chrono::milliseconds(300)), nullptr);
    EXPECT_EQ(TaskbarState(app), TBPF_NOPROGRESS);
    EXPECT_EQ(App::Probed(app.window(), L"Flashed"), 0);  // the user is looking at it
    app.Probe(0);
    EXPECT_EQ(App::Probed(app.window(), L"Awake") & ES_SYSTEM_REQUIRED, 0);
    ExpectIdle(app);
    EXPECT_TRUE(app.Enabled(kIdDeleteImage));
    EXPECT_EQ(app.Focus(), app.Control(kIdStart));  // where Enter does what the ring shows
}

TEST_F(WindowRun, KeyboardReachesTheChoicesStartsCancelsAndCloses) {
    App app({}, kHeld, HeldExe());
    auto focusOn = [&](int id) { return Until([&] { return app.Focus() == app.Control(id); }); };
    EXPECT_TRUE(focusOn(kIdSourceIso));  // the first control, as the window opens

    // Access keys: a radio button, then the install folder through its group's label.
    app.AltKey(L'x');
    EXPECT_TRUE(Until([&] { return app.Checked(kIdSourceFolder); }));
    EXPECT_EQ(app.Text(kIdSourceNote), kFolderNote);
    app.AltKey(L'd');
    EXPECT_TRUE(Until([&] { return app.Checked(kIdSourceIso); }));
    app.AltKey(L'o');
    EXPECT_TRUE(focusOn(kIdInstallDir));

    // Tab goes round through the detail log, and out of it again.
    app.Click(kIdDetails);
    app.AltKey(L'o');
    ASSERT_TRUE(focusOn(kIdInstallDir));
    for (int presses = 0; presses < 8 && app.Focus() != app.Control(kIdLog); ++presses) {
        HWND before = app.Focus();
        app.Key(VK_TAB);
        ASSERT_TRUE(Until([&] { return app.Focus() != before; }));
    }
    ASSERT_EQ(app.Focus(), app.Control(kIdLog));
    app.Key(VK_TAB);
    EXPECT_TRUE(focusOn(kIdSourceIso));

    // Enter in a text field presses Install; Esc cancels the run, then closes.
    Choose(app, image);
    app.AltKey(L'o');
    ASSERT_TRUE(focusOn(kIdInstallDir));
    app.Key(VK_RETURN);
    ASSERT_TRUE(Until([&] { return app.Text(kIdStart) == kCancelButton; }));
    // Not to Cancel, where Enter or Space would stop the run: neither does.
    EXPECT_TRUE(focusOn(kIdDetails));
    for (UINT key : {VK_RETURN, VK_SPACE, VK_RETURN}) app.Key(key);
    app.Settle();
    EXPECT_EQ(app.Box(std::chrono::milliseconds(300)), nullptr);
    ExpectBusy(app);
    app.Key(VK_ESCAPE);
    HWND box = app.Box(StopQuestion(Stage::kStart));
    ASSERT_TRUE(box);
    App::Answer(box, IDYES);
    ASSERT_TRUE(Until([&] { return app.Text(kIdStatus) == kCancelledNote; }));
    ExpectIdle(app);
    app.Key(VK_ESCAPE);
    EXPECT_TRUE(app.Exited(std::chrono::seconds(10)));
}

TEST_F(WindowRun, ClosingWhileRunningAsksThenStopsTheRun) {
    fs::create_directories(install);  // an existing folder gets its setup.log at once
    App app({}, kHeld, HeldExe());
    Choose(app, image);
    app.Click(kIdStart);
    ExpectBusy(app);

    app.Post(WM_CLOSE);
    HWND box = app.Box(StopQuestion(Stage::kStart));
    ASSERT_TRUE(box);
    app.Shot("close-while-running");
    App::Answer(box, IDNO);
    app.Settle();
    EXPECT_FALSE(app.Exited(std::chrono::milliseconds(0)));
    ExpectBusy(app);

    app.Post(WM_CLOSE);
    box = app.Box(StopQuestion(Stage::kStart));
    ASSERT_TRUE(box);
    App::Answer(box, IDYES);
    EXPECT_TRUE(app.Exited(std::chrono::seconds(10)));
    // The run was waited for: it ended and wrote its last line.
    EXPECT_EQ(LogLines(install / "setup.log").back(), "Cancelled.");
}

// A run that succeeds goes through every stage: it needs the stand-ins.
class HttpWindowRun : public WindowRun {
  protected:
    Standins standins{dir.path()};
};

TEST_F(HttpWindowRun, SucceededRunOffersPlayAndUpdate) {
    Env env = {kShort[0], kShort[1], {L"CORVANE_TEST_REFUSE_START", L"CorvaneLauncher"}};
    App app(standins.Args(), standins.Environment(env), HeldExe());
    Choose(app, image);
    app.Click(kIdStart);
    HWND box = app.Box(ShortQuestion(install));
    ASSERT_TRUE(box);
    EXPECT_EQ(Caption(box), kTitle);  // the run's own question, from its thread
    App::Answer(box, IDYES);
    box = RunEnd(app);
    ASSERT_TRUE(box);
    EXPECT_EQ(App::BoxText(box), Summary(install));
    EXPECT_EQ(OneLine(App::BoxText(box)), app.Text(kIdStatus));  // the run's final message
    EXPECT_EQ(Progress(app), 100);
    EXPECT_FALSE(Marquee(app));
    EXPECT_TRUE(app.Visible(kIdPlay));
    EXPECT_EQ(app.Client().cy, 434);  // the log stays closed
    app.Shot("finished-run-message");
    App::Answer(box, IDOK);
    ExpectUpdateLook(app);
    EXPECT_EQ(app.Focus(), app.Control(kIdPlay));
    ExpectAccessible(app);
    app.Shot("finished-run");

    // Play refused by Windows' app control says so; the window stays.
    fs::path launcher = install / "corvane-recomp" / "build" / "runtime" / "CorvaneLauncher.exe";
    app.Click(kIdPlay);
    box = app.Box();
    ASSERT_TRUE(box);
    EXPECT_EQ(App::BoxText(box), BlockedText(launcher));
    App::Answer(box, IDOK);

    // Play with the launcher gone leaves the window as it is.
    ASSERT_TRUE(fs::remove(launcher));
    app.Click(kIdPlay);
    EXPECT_FALSE(app.Exited(std::chrono::milliseconds(500)));

    // The next start hides Play. Enter at the low-disk question answers No,
    // and the failed run leaves the install with the update look.
    app.Click(kIdStart);
    EXPECT_FALSE(app.Visible(kIdPlay));
    box = app.Box(ShortQuestion(install, 6));
    ASSERT_TRUE(box);
    PressEnter(box);
    // No is no failure: no box; the status says what to do, at the folder's field.
    EXPECT_TRUE(Until([&] {
        return app.Text(kIdStatus) == L"Choose a folder on another drive, or free 3 GB on drive " +
                                          install.root_name().native() + L".";
    }));
    EXPECT_EQ(app.Box(std::chrono::milliseconds(300)), nullptr);
    EXPECT_EQ(app.Focus(), app.Control(kIdInstallDir));
    ExpectUpdateLook(app);
    EXPECT_FALSE(app.Visible(kIdPlay));
}

TEST_F(WindowRun, ASecondStartShowsTheFirstWindowWhichFlashesWhenItsRunEndsBehind) {
    App app({}, kHeld, HeldExe());
    Choose(app, image);
    app.Click(kIdStart);
    ExpectBusy(app);
    ShowWindow(app.window(), SW_MINIMIZE);
    ASSERT_TRUE(Until([&] { return IsIconic(app.window()) != FALSE; }));

    // Started again from the desktop: the running window comes back instead.
    App second({}, {}, SetupExe(), {0, false});
    ASSERT_TRUE(second.Exited());
    EXPECT_EQ(second.ExitCode(), 0);
    EXPECT_TRUE(Until([&] { return !IsIconic(app.window()); }));
    EXPECT_TRUE(Until([&] { return GetForegroundWindow() == app.window(); }));
    ExpectBusy(app);
    // So does an update of the folder it works in, which its lock would refuse.
    ShowWindow(app.window(), SW_MINIMIZE);
    ASSERT_TRUE(Until([&] { return IsIconic(app.window()) != FALSE; }));
    fs::create_directories(install / "corvane-recomp");
    App update({L"--update", install.native(), L"--quiet"}, {}, SetupExe(), {0, false});
    ASSERT_TRUE(update.Exited());
    EXPECT_EQ(update.ExitCode(), 1);  // nothing was updated
    EXPECT_TRUE(Until([&] { return !IsIconic(app.window()); }));
    ExpectBusy(app);

    // The run ends while another window is in front: its button flashes.
    app.Click(kIdStart);
    HWND box = app.Box(StopQuestion(Stage::kStart));
    ASSERT_TRUE(box);
    App::Answer(box, IDYES);
    HWND other =
        CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"another program", WS_POPUP | WS_VISIBLE, 0, 0,
                        200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(other);
    ASSERT_TRUE(Until([&] {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
        SetForegroundWindow(other);
        return GetForegroundWindow() == other;
    }));
    EXPECT_TRUE(Until([&] { return app.Text(kIdStatus) == kCancelledNote; }));
    EXPECT_EQ(App::Probed(app.window(), L"Flashed"), FLASHW_TRAY | FLASHW_TIMERNOFG);
    DestroyWindow(other);

    // A start for the idle window's folder runs there, and its exit code is the run's.
    WriteBytes(install / "corvane-recomp" / "game" / "extracted" / "default.xex", "XEX2");
    App handed({L"--update", install.native()}, {}, SetupExe(), {0, false});
    EXPECT_TRUE(Until([&] { return app.Text(kIdStart) == kCancelButton; }));
    int windows = 0;
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, kWindowClass, nullptr));) ++windows;
    EXPECT_EQ(windows, 1);
    app.Click(kIdStart);
    box = app.Box(StopQuestion(Stage::kStart));
    ASSERT_TRUE(box);
    App::Answer(box, IDYES);
    ASSERT_TRUE(handed.Exited(std::chrono::seconds(30)));
    EXPECT_EQ(handed.ExitCode(), 1);
    EXPECT_TRUE(Until([&] { return app.Text(kIdStatus) == kCancelledNote; }));
}

// The run's question is answered No by the close, whether it was open
// already or comes only after the close; the run ends as cancelled.
TEST_F(WindowRun, ClosingWhileTheRunAsksDoesNotHang) {
    for (bool open : {true, false}) {
        SCOPED_TRACE(open ? "question open" : "question after the close");
        fs::create_directories(install);  // an existing folder gets its setup.log at once
        App app({}, open ? kShort : kShortLater, HeldExe());
        Choose(app, image);
        app.Click(kIdStart);
        if (open) {
            ASSERT_TRUE(app.Box(ShortQuestion(install)));
        }
        app.Post(WM_CLOSE);
        HWND box = app.Box(StopQuestion(Stage::kStart));
        ASSERT_TRUE(box);
        auto asked = std::chrono::steady_clock::now();
        App::Answer(box, IDYES);
        EXPECT_TRUE(app.Exited(std::chrono::seconds(10)));
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - asked;
        std::printf("close to exit, %s: %.2f s\n", open ? "question open" : "question after",
                    took.count());
        EXPECT_EQ(LogLines(install / "setup.log").back(), "Cancelled.");
    }
}

TEST(WindowCommandLine, HelpListsTheOptions) {
    for (const wchar_t* help : {L"/?", L"-h", L"--help"}) {
        App app({L"--install-dir", L"C:\\x", help}, {}, SetupExe(), {0, false});
        HWND box = app.Box();
        ASSERT_TRUE(box) << Narrow(help);
        // The version is the one the console's --version prints.
        EXPECT_EQ(App::BoxText(box), WindowHelp());
        App::Answer(box, IDOK);
        ASSERT_TRUE(app.Exited());
        EXPECT_EQ(app.ExitCode(), 0);
    }
}

TEST(WindowCommandLine, AMissingFolderEndsWithTwo) {
    App app({L"--source", L"C:\\c.iso", L"--install-dir"}, {}, SetupExe(), {0, false});
    HWND box = app.Box();
    ASSERT_TRUE(box);
    EXPECT_EQ(App::BoxText(box), L"--install-dir needs the folder to install to after it.");
    App::Answer(box, IDOK);
    ASSERT_TRUE(app.Exited());
    EXPECT_EQ(app.ExitCode(), 2);

    App quiet({L"--install-dir", L"--quiet"}, {}, SetupExe(), {0, false});
    ASSERT_TRUE(quiet.Exited());
    EXPECT_EQ(quiet.ExitCode(), 2);
}

// Paths that can't be used end the program before it has made anything;
// what it doesn't know beside them is ignored, as the launcher may add more.
TEST(WindowCommandLine, PathsThatCantBeUsedEndWithTwoAndMakeNothing) {
    TempDir dir;
    fs::create_directories(dir / "empty");
    fs::path install = dir / "install";
    const std::wstring unreachable =
        L"\\\\nowhere\\share\\inst can't be reached: \\\\nowhere\\share\\ isn't "
        L"there. Connect the drive or network share, or choose a folder on this PC.";
    const struct {
        std::vector<std::wstring> args;
        std::wstring message;
    } cases[] = {
        {{L"--source", (dir / "nowhere.iso").native(), L"--install-dir", install.native()},
         (dir / "nowhere.iso").native() + L" doesn't exist."},
        {{L"--update", (dir / "nowhere").native(), L"--from-launcher"},
         (dir / "nowhere").native() + L" doesn't exist."},
        {{L"--update", (dir / "empty").native()},
         (dir / "empty").native() + L" holds no install to update (no corvane-recomp in it)."},
        {{L"--install-dir", L"\\\\nowhere\\share\\inst"}, unreachable},
        {{L"--install-dir", L"\\\\?\\UNC\\nowhere\\share\\inst"}, unreachable},
    };
    for (const auto& c : cases) {
        App app(c.args, {}, SetupExe(), {0, false});
        HWND box = app.Box();
        ASSERT_TRUE(box);
        EXPECT_EQ(App::BoxText(box), c.message);
        App::Answer(box, IDOK);
        ASSERT_TRUE(app.Exited());
        EXPECT_EQ(app.ExitCode(), 2);
        EXPECT_FALSE(Exists(install));
        EXPECT_FALSE(Exists(dir / "nowhere"));
        EXPECT_TRUE(fs::is_empty(dir / "empty"));
    }
}

TEST_F(WindowRun, CommandLineFillsTheChoicesAndStartsAtOnce) {
    WriteBytes(dir / "extracted" / "default.xex", "XEX2");
    struct Case {
        fs::path source;
        int kind;
        bool deleteImage;
    } cases[] = {{image, kIdSourceIso, true}, {dir / "extracted", kIdSourceFolder, false}};
    for (const Case& c : cases) {
        App app({L"--source", c.source.native(), L"--install-dir", install.native(),
                 L"--free-space", L"--delete-image"},
                kHeld, HeldExe());
        ASSERT_TRUE(Until([&] { return app.Text(kIdStart) == kCancelButton; }));
        EXPECT_EQ(app.Box(std::chrono::milliseconds(300)), nullptr);  // not asked: it was told
        EXPECT_EQ(app.Text(kIdSource), c.source.native());
        EXPECT_EQ(app.Text(kIdInstallDir), install.native());
        EXPECT_TRUE(app.Checked(c.kind));
        EXPECT_FALSE(app.Checked(kIdShortcut));  // only with --shortcut
        EXPECT_TRUE(app.Checked(kIdFreeSpace));
        EXPECT_EQ(app.Checked(kIdDeleteImage), c.deleteImage);
        app.Post(WM_CLOSE);
        HWND box = app.Box(StopQuestion(Stage::kStart));
        ASSERT_TRUE(box);
        App::Answer(box, IDYES);
        ASSERT_TRUE(app.Exited());
        EXPECT_EQ(app.ExitCode(), 1);  // cancelled
    }
}

TEST_F(WindowRun, QuietRunTakesTheSafeAnswerAndClosesWithItsOutcome) {
    {
        // The window may be gone before anyone looks for it.
        App app({L"--source", image.native(), L"--install-dir", install.native(), L"--quiet"},
                kShort, HeldExe(), {0, false});
        ASSERT_TRUE(app.Exited(std::chrono::seconds(30)));
        EXPECT_EQ(app.ExitCode(), 1);
        EXPECT_FALSE(Exists(install));  // the No came before anything was made
    }
    // In a folder that exists, setup.log names the folder the forms come to.
    for (const std::wstring& form :
         {install.native() + L" ", install.native() + L" .", L"\\\\?\\" + install.native()}) {
        fs::create_directories(install);
        App app({L"--source", image.native(), L"--install-dir", form, L"--quiet"}, kShort,
                HeldExe(), {0, false});
        ASSERT_TRUE(app.Exited(std::chrono::seconds(30)));
        EXPECT_EQ(app.ExitCode(), 1);
        EXPECT_EQ(Undated(Widen(LogLines(install / "setup.log").front())),
                  kHeader + install.native());
        fs::remove_all(install);
    }
}

}  // namespace
}  // namespace setup::test
