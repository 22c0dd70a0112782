// The window as it opens: its controls, size and place, the default install
// folder, the update look of an existing install and --update.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "app.h"
#include "standins.h"
#include "temp.h"
#include "window.h"
#include "window_texts.h"
#include "setup.h"

namespace setup::test {
namespace {

struct Expected {
    int id;
    const wchar_t* type;
    std::wstring text;
    DWORD style;
    RECT at;  // left, top, right, bottom
    bool checked, visible;
};

std::vector<Expected> Table() {
    const DWORD edit = WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
    return {
        {0, L"Static", L"", SS_ICON, {16, 12, 64, 60}, false, true},
        {0, L"Static", kTitle, 0, {76, 14, 616, 40}, false, true},
        {0,
         L"Static",
         L"Builds the game from your own copy of Corvane. The build tools are downloaded if they "
         L"aren't installed; nothing from the game is downloaded.",
         0,
         {76, 40, 624, 72},
         false,
         true},
        {115, L"Button", L"Your copy of Corvane", BS_GROUPBOX, {12, 78, 628, 174}, false, true},
        {110,
         L"Button",
         L"&Disc image (.iso)",
         BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP,
         {28, 98, 178, 118},
         true,
         true},
        {111,
         L"Button",
         L"E&xtracted disc folder",
         BS_AUTORADIOBUTTON,
         {190, 98, 380, 118},
         false,
         true},
        {100, L"Edit", L"", edit | WS_GROUP, {28, 122, 516, 145}, false, true},
        {101, L"Button", L"&Browse...", WS_TABSTOP, {524, 121, 612, 146}, false, true},
        {116, L"Static", kImageNote, 0, {28, 150, 616, 168}, false, true},
        {0, L"Button", L"Install f&older", BS_GROUPBOX, {12, 182, 628, 256}, false, true},
        {102, L"Edit", L"C:\\Corvane-Recomp", edit, {28, 204, 516, 227}, false, true},
        {103, L"Button", L"B&rowse...", WS_TABSTOP, {524, 203, 612, 228}, false, true},
        {117, L"Static", L"(space)", 0, {28, 232, 616, 250}, false, true},
        {0, L"Button", L"When it's done", BS_GROUPBOX, {12, 264, 628, 362}, false, true},
        {108,
         L"Button",
         L"Add a desktop &shortcut to the launcher",
         BS_AUTOCHECKBOX | WS_TABSTOP,
         {28, 284, 608, 304},
         true,
         true},
        {112,
         L"Button",
         L"&Free up space: delete the build tools and leftovers (2-4 GB; the next update gets them "
         L"again and takes longer)",
         BS_AUTOCHECKBOX | BS_MULTILINE | WS_TABSTOP,
         {28, 304, 608, 334},
         false,
         true},
        {113,
         L"Button",
         L"D&elete the disc image once it's extracted (the game doesn't need it)",
         BS_AUTOCHECKBOX | WS_TABSTOP,
         {28, 336, 608, 356},
         false,
         true},
        {105,
         L"Static",
         L"Ready.",
         SS_LEFTNOWORDWRAP | SS_ENDELLIPSIS | SS_NOPREFIX,
         {12, 376, 422, 396},
         false,
         true},
        {118, L"Button", L"View &log", WS_TABSTOP, {338, 371, 428, 399}, false, false},
        {109, L"Button", L"&Play", WS_TABSTOP, {434, 371, 524, 399}, false, false},
        {104,
         L"Button",
         kInstallButton,
         BS_DEFPUSHBUTTON | WS_TABSTOP,
         {530, 371, 628, 399},
         false,
         true},
        {106, L"msctls_progress32", L"", 0, {12, 406, 516, 422}, false, true},
        {114, L"Button", kShowDetails, WS_TABSTOP, {524, 402, 628, 426}, false, true},
        {107,
         L"Edit",
         L"",
         WS_BORDER | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY,
         {12, 434, 628, 662},
         false,
         false},
        {119, L"Static", L"", SS_ENDELLIPSIS, {12, 384, 422, 402}, false, false},
        {120, L"Static", L"", SS_ENDELLIPSIS, {12, 84, 628, 104}, false, false},
    };
}

std::wstring ClassName(HWND control) {
    wchar_t name[64] = L"";
    GetClassNameW(control, name, 64);
    return name;
}

std::wstring WindowText(HWND control) {
    wchar_t text[512] = L"";
    SendMessageW(control, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return text;
}

TEST(WindowStart, OpensWithEveryControlInPlace) {
    App app;
    ASSERT_TRUE(app.window());
    wchar_t title[64] = L"";
    GetWindowTextW(app.window(), title, 64);
    EXPECT_STREQ(title, kTitle);
    LONG style = GetWindowLongW(app.window(), GWL_STYLE);
    EXPECT_EQ(style & 0x00CF0000, 0x00CA0000) << std::hex << style;  // no sizing, no maximize

    auto table = Table();
    HWND control = GetWindow(app.window(), GW_CHILD);
    for (std::size_t i = 0; i < table.size(); ++i, control = GetWindow(control, GW_HWNDNEXT)) {
        const Expected& e = table[i];
        SCOPED_TRACE("control " + std::to_string(i + 1));
        ASSERT_TRUE(control);
        EXPECT_EQ(GetDlgCtrlID(control), e.id);
        EXPECT_EQ(_wcsicmp(ClassName(control).c_str(), e.type), 0) << ClassName(control);
        std::wstring text = WindowText(control);
        if (e.id == kIdSpaceNote)
            EXPECT_TRUE(IsSpaceNote(text)) << text;
        else
            EXPECT_EQ(text, e.text);
        DWORD s = GetWindowLongW(control, GWL_STYLE);
        DWORD style = e.style | WS_CHILD;
        // An edit control takes its border style over and draws the border itself.
        if (e.type == std::wstring(L"Edit")) style &= ~WS_BORDER;
        EXPECT_EQ(s & style, style) << std::hex << s;
        RECT r;
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, app.window(), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, e.at.left);
        EXPECT_EQ(r.top, e.at.top);
        EXPECT_EQ(r.right, e.at.right);
        EXPECT_EQ(r.bottom, e.at.bottom);
        EXPECT_TRUE(IsWindowEnabled(control));
        EXPECT_EQ(IsWindowVisible(control) != FALSE, e.visible);
        if (e.type == std::wstring(L"Button")) {
            EXPECT_EQ(SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED, e.checked);
        }
    }
    EXPECT_FALSE(control) << "more than 23 controls";
    EXPECT_TRUE(SendMessageW(GetWindow(app.window(), GW_CHILD), STM_GETICON, 0, 0));
    EXPECT_EQ(SendMessageW(app.Control(kIdProgress), PBM_GETPOS, 0, 0), 0);

    SIZE client = app.Client();
    EXPECT_EQ(client.cx, 640);
    EXPECT_EQ(client.cy, 434);
    RECT frame = app.Frame();
    EXPECT_EQ(frame.left, (GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2);
    EXPECT_EQ(frame.top, (GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top)) / 3);
    ExpectAccessible(app);
    app.Shot("idle");
}

int At(int length, unsigned dpi) {
    return MulDiv(length, static_cast<int>(dpi), 96);
}

// Every control where the table puts it, scaled to the DPI, give or take the
// pixel that rounding may add.
constexpr int kLogGives = 228 - 16;  // what the log gives up, at most, for the work area

void ExpectScaled(const App& app, unsigned dpi, int logCut = 0) {
    auto table = Table();
    int fold = app.Visible(kIdSummary) ? kFold : 0;  // all below the choices moves up
    HWND control = GetWindow(app.window(), GW_CHILD);
    for (std::size_t i = 0; i < table.size(); ++i, control = GetWindow(control, GW_HWNDNEXT)) {
        SCOPED_TRACE("control " + std::to_string(i + 1));
        ASSERT_TRUE(control);
        RECT r;
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, app.window(), reinterpret_cast<POINT*>(&r), 2);
        const RECT& e = table[i].at;
        int up = i >= 17 && table[i].id != kIdSummary ? fold : 0;
        EXPECT_NEAR(r.left, At(e.left, dpi), 1);
        EXPECT_NEAR(r.top, At(e.top - up, dpi), 1);
        EXPECT_NEAR(r.right, At(e.right, dpi), 1);
        EXPECT_NEAR(r.bottom, At(e.bottom - up, dpi) - (table[i].id == kIdLog ? logCut : 0), 1);
    }
}

// A window grown by the details stays inside the work area, moved up and
// then with a shorter log, wherever the log can give enough; the cut.
int ExpectOnScreen(const App& app, unsigned dpi) {
    RECT work, frame = app.Frame();
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int cut = At(app.Visible(kIdSummary) ? 672 - kFold : 672, dpi) - app.Client().cy;
    EXPECT_GE(frame.top, work.top);
    if (cut < At(kLogGives, dpi) - 1) {
        EXPECT_LE(frame.bottom, work.bottom);
    }
    return std::min(cut, At(kLogGives, dpi));
}

// Every label fits its control, measured inside the window with the control's
// own font. The status line is left out: it ends cut text with an ellipsis.
void ExpectTextsFit(const App& app, unsigned dpi) {
    const int box = At(18, dpi);  // a check box's box and the gap after it
    app.Probe(box);
    for (HWND c = GetWindow(app.window(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        std::wstring type = ClassName(c), text = WindowText(c);
        DWORD style = GetWindowLongW(c, GWL_STYLE);
        if (text.empty() || _wcsicmp(type.c_str(), L"Edit") == 0 || GetDlgCtrlID(c) == kIdStatus)
            continue;
        SCOPED_TRACE(Narrow(text));
        RECT client;
        GetClientRect(c, &client);
        bool button = _wcsicmp(type.c_str(), L"Button") == 0;
        DWORD kind = style & BS_TYPEMASK;
        int room = client.right;
        if (button && kind == BS_GROUPBOX)
            room -= At(16, dpi);  // the frame's line on either side of the caption
        else if (button && (kind == BS_AUTOCHECKBOX || kind == BS_AUTORADIOBUTTON))
            room -= box;
        else if (button)
            room -= At(6, dpi);  // a push button's edges
        bool wraps = button ? (style & BS_MULTILINE) != 0 : !(style & SS_LEFTNOWORDWRAP);
        EXPECT_LE(App::Probed(c, wraps ? L"WrapWidth" : L"TextWidth"), room);
        if (kind != BS_GROUPBOX || !button) {
            EXPECT_LE(App::Probed(c, wraps ? L"WrapHeight" : L"TextHeight"), client.bottom);
        }
    }
}

// The client size the table gives at that DPI, unless the screen is too
// small for it: the system keeps a window within the screen's largest frame,
// and the window is then as large as that lets it be.
void ExpectClient(const App& app, unsigned dpi, int height) {
    RECT frame = app.Frame();
    SIZE client = app.Client();
    int roomX = GetSystemMetrics(SM_CXMAXTRACK) - (frame.right - frame.left - client.cx);
    int roomY = GetSystemMetrics(SM_CYMAXTRACK) - (frame.bottom - frame.top - client.cy);
    for (auto [actual, wanted, room] : {std::tuple{client.cx, At(640, dpi), roomX},
                                        std::tuple{client.cy, At(height, dpi), roomY}}) {
        if (wanted <= room)
            EXPECT_NEAR(actual, wanted, 1);
        else
            EXPECT_GE(actual, room - 2);
    }
}

TEST(WindowStart, ScalesToTheScreensDpiAndEveryTextFits) {
    for (unsigned dpi : {96u, 120u, 144u, 192u}) {
        SCOPED_TRACE("DPI " + std::to_string(dpi));
        App app({}, {}, HeldExe(), {dpi});
        ASSERT_TRUE(app.window());
        ExpectClient(app, dpi, 434);
        ExpectScaled(app, dpi);
        ExpectTextsFit(app, dpi);
        app.Shot("idle-" + std::to_string(dpi * 100 / 96));
        // The longer note, and the details' other face.
        app.Click(kIdSourceFolder);
        app.Click(kIdDetails);
        ExpectScaled(app, dpi, ExpectOnScreen(app, dpi));
        ExpectTextsFit(app, dpi);
    }
}

// A larger message font grows the layout as a higher DPI would, from 11 pixels.
TEST(WindowStart, LargerTextKeepsEveryTextFitting) {
    App app({}, {}, HeldExe(), {0, true, 16});
    unsigned zoom = MulDiv(16, 96, 11);
    ExpectClient(app, zoom, 434);
    ExpectScaled(app, zoom);
    ExpectTextsFit(app, zoom);
    app.Shot("larger-text");
}

// Every language's labels fit their controls as English's do, and are that
// language's: chosen by --language, or by the system's UI language.
TEST(WindowStart, EveryLanguageFitsAtEveryDpi) {
    for (const Language& language : Languages()) {
        UseLanguage(language.code);
        for (unsigned dpi : {96u, 144u, 192u}) {
            SCOPED_TRACE(language.code + " at DPI " + std::to_string(dpi));
            App app({L"--language", Widen(language.code)}, {}, HeldExe(), {dpi});
            ASSERT_TRUE(app.window());
            EXPECT_EQ(app.Text(kIdStart), Shown(kInstallButton));
            ExpectTextsFit(app, dpi);
            if (dpi == 144) app.Shot("idle-150-" + language.code);
            app.Click(kIdSourceFolder);
            app.Click(kIdDetails);
            EXPECT_EQ(app.Text(kIdSourceNote), Shown(kFolderNote));
            ExpectTextsFit(app, dpi);
            // The start button's faces while a run goes and after one.
            for (const wchar_t* face : {kCancelButton, kUpdateButton}) {
                app.SetText(kIdStart, Shown(face));
                ExpectTextsFit(app, dpi);
            }
        }
    }
    UseLanguage("en");
}

// Without --language the window speaks the system's UI language: Wine's is
// the locale of LC_ALL, which ctest sets for this test's runs in German and
// Simplified Chinese (tests/window/CMakeLists.txt).
TEST(WindowStart, SpeaksTheSystemsLanguage) {
    const wchar_t* locale = _wgetenv(L"LC_ALL");
    std::string code = locale ? Match(Narrow(locale)) : "";
    UseLanguage(code.empty() ? "en" : code);
    App app({}, {}, HeldExe());
    EXPECT_EQ(app.Text(kIdStart), Shown(kInstallButton)) << code;
    EXPECT_EQ(app.Text(kIdStatus), Shown(kReady)) << code;
    UseLanguage("en");
}

TEST(WindowStart, DraggedToAnotherScreenTakesItsDpi) {
    std::vector<std::intptr_t> dragged;
    {
        App app({}, {}, HeldExe());
        app.Probe(0);
        std::intptr_t before = App::Probed(app.Control(kIdStart), L"TextHeight");
        RECT frame = app.Frame();
        // The frame the system suggests for 150 %: the window grown by half.
        RECT suggested{frame.left, frame.top, frame.left + (frame.right - frame.left) * 3 / 2,
                       frame.top + (frame.bottom - frame.top) * 3 / 2};
        app.ChangeDpi(144, suggested);
        RECT now = app.Frame(), work;
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        // The system's suggestion, moved up only as far as the work area needs.
        LONG up = std::max<LONG>(0, suggested.bottom - work.bottom);
        LONG left = std::max<LONG>(0, suggested.right - work.right);
        EXPECT_EQ(now.left, suggested.left - left);
        EXPECT_EQ(now.top, suggested.top - up);
        EXPECT_EQ(now.right, suggested.right - left);
        EXPECT_EQ(now.bottom, suggested.bottom - up);
        ExpectScaled(app, 144);
        ExpectTextsFit(app, 144);
        app.Probe(0);
        for (int id : {kIdStart, kIdSourceNote})
            dragged.push_back(App::Probed(app.Control(id), L"TextHeight"));
        EXPECT_GT(dragged[0], before);
    }
    // The fonts are those of a window that opened at 144 DPI. One window runs
    // at a time (a second start only shows the first), so it opens after.
    App opened({}, {}, HeldExe(), {144});
    opened.Probe(0);
    int i = 0;
    for (int id : {kIdStart, kIdSourceNote})
        EXPECT_EQ(dragged[i++], App::Probed(opened.Control(id), L"TextHeight")) << id;
}

TEST(WindowStart, DetailsMakeTheWindowTallerMovingItOnlyToStayOnScreen) {
    App app;
    RECT before = app.Frame(), work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    app.Click(kIdDetails);
    EXPECT_EQ(app.Client().cy, 672);
    EXPECT_EQ(app.Client().cx, 640);
    RECT grown = app.Frame();
    EXPECT_EQ(grown.top, std::min(before.top, work.bottom - (grown.bottom - grown.top)));
    EXPECT_EQ(grown.left, before.left);
    EXPECT_TRUE(app.Visible(kIdLog));
    EXPECT_EQ(app.Text(kIdDetails), kHideDetails);
    app.Shot("details");
    app.Click(kIdDetails);
    EXPECT_EQ(app.Client().cy, 434);
    EXPECT_FALSE(app.Visible(kIdLog));
    EXPECT_EQ(app.Text(kIdDetails), kShowDetails);
    EXPECT_EQ(app.Frame().top, grown.top);
}

TEST(WindowStart, UpdateWithoutFolderOrOtherSpellingDoesNothing) {
    for (auto args :
         {std::vector<std::wstring>{L"--update"}, std::vector<std::wstring>{L"--Update", L"C:\\x"},
          std::vector<std::wstring>{L"--update=C:\\x"}}) {
        App app(args, {{L"SystemDrive", L"C:"}});
        EXPECT_EQ(app.Text(kIdInstallDir), L"C:\\Corvane-Recomp");
        EXPECT_EQ(app.Text(kIdStart), kInstallButton);
        EXPECT_EQ(app.Text(kIdStatus), kReady);
    }
}

// An install holding the extracted game and its repository.
fs::path MakeInstall(const TempDir& dir) {
    fs::path install = dir / "Corvane Install";
    WriteBytes(install / "corvane-recomp" / "game" / "extracted" / "default.xex", "xex");
    fs::create_directories(install / "corvane-recomp" / ".git");
    return install;
}

void ExpectUpdateLook(const App& app) {
    EXPECT_EQ(app.Text(kIdStart), kUpdateButton);
    EXPECT_EQ(app.Text(kIdStatus), kInstalledStatus);
    for (int id : {kIdSourceIso, kIdSourceFolder, kIdSource, kIdSourceBrowse, kIdDeleteImage})
        EXPECT_FALSE(app.Enabled(id)) << id;
    EXPECT_TRUE(app.Enabled(kIdInstallDir));
    EXPECT_TRUE(app.Enabled(kIdStart));
    EXPECT_EQ(app.Text(kIdSourceNote), kInstalledNote);
}

TEST(WindowStart, CopyInsideAnInstallOffersItWithTheUpdateLook) {
    TempDir dir;
    fs::path install = MakeInstall(dir);
    fs::copy_file(SetupExe(), install / "corvane-setup.exe");
    // An install with its launcher, as a finished one has, which Play starts.
    fs::path runtime = install / "corvane-recomp" / "build" / "runtime";
    fs::create_directories(runtime);
    WriteBytes(runtime / "CorvaneLauncher.exe", "MZ");
    App app({}, {}, install / "corvane-setup.exe");
    EXPECT_EQ(app.Text(kIdInstallDir), install.native());
    ExpectUpdateLook(app);
    ExpectAccessible(app);
    EXPECT_TRUE(app.Visible(kIdPlay));
    EXPECT_TRUE(IsSpaceNote(app.Text(kIdSpaceNote))) << app.Text(kIdSpaceNote);
    app.Shot("update-look");

    // The look follows the folder: a fresh one takes the source again, and
    // typing one more letter keeps that look.
    // (The folder typed is checked once typing pauses, off the window's thread.)
    for (const auto& other : {dir / "elsewhere", dir / "elsewhere2"}) {
        app.SetText(kIdInstallDir, other.native());
        EXPECT_TRUE(Until([&] { return app.Text(kIdStart) == kInstallButton; }));
        EXPECT_EQ(app.Text(kIdStatus), kReady);
        EXPECT_EQ(app.Text(kIdSourceNote), kImageNote);
        for (int id : {kIdSourceIso, kIdSourceFolder, kIdSource, kIdSourceBrowse, kIdDeleteImage})
            EXPECT_TRUE(app.Enabled(id)) << id;
    }
    app.SetText(kIdInstallDir, install.native());
    EXPECT_TRUE(Until([&] { return app.Text(kIdStart) == kUpdateButton; }));
    ExpectUpdateLook(app);
}

TEST(HttpWindowStart, UpdateOptionStartsTheRunAtOnce) {
    TempDir dir;
    Standins standins(dir.path());
    fs::path install = dir / "Corvane Install";
    // A build whose launcher can't be started.
    const Env broken = {{L"CORVANE_BUILD_BAD_LAUNCHER", L"1"}};
    ASSERT_TRUE(FirstInstall(standins, DiscImage(dir.path()), install, broken));
    App app(standins.Args({L"--update", install.native()}), standins.Environment(broken));
    EXPECT_EQ(app.Text(kIdInstallDir), install.native());
    // The run began without a click: its header follows the first install's
    // run in the log. It ends on its own.
    const std::string header =
        "Corvane Recompiled Setup, installing to " + install.string() + "; version ";
    EXPECT_TRUE(Until([&] {
        auto lines = LogLines(install / "setup.log");
        return std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& l) { return l.starts_with(header); }) == 2;
    }));
    EXPECT_TRUE(Until([&] { return app.Visible(kIdPlay); }, std::chrono::seconds(180)));
    // Succeeded, but the launcher couldn't start: the window stays, without a box.
    EXPECT_EQ(app.Box(std::chrono::milliseconds(500)), nullptr);
    EXPECT_FALSE(app.Exited(std::chrono::milliseconds(0)));
    EXPECT_EQ(app.Text(kIdStart), kUpdateButton);
    EXPECT_EQ(app.Text(kIdStatus), OneLine(Summary(install, kUpToDate)));
    EXPECT_EQ(SendMessageW(app.Control(kIdProgress), PBM_GETPOS, 0, 0), 100);
    app.Shot("update-finished");
}

}  // namespace
}  // namespace setup::test
