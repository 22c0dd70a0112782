// The window as it opens: its controls, size and place, the default install
// folder, the update look of an existing install and --update.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "app.h"
#include "standins.h"
#include "temp.h"
#include "window.h"
#include "window_texts.h"

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
         L"Disc image (.iso)",
         BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP,
         {28, 98, 178, 118},
         true,
         true},
        {111,
         L"Button",
         L"Extracted disc folder",
         BS_AUTORADIOBUTTON,
         {190, 98, 380, 118},
         false,
         true},
        {100, L"Edit", L"", edit | WS_GROUP, {28, 122, 516, 145}, false, true},
        {101, L"Button", L"Browse...", WS_TABSTOP, {524, 121, 612, 146}, false, true},
        {116, L"Static", kImageNote, 0, {28, 150, 616, 168}, false, true},
        {0, L"Button", L"Install folder", BS_GROUPBOX, {12, 182, 628, 256}, false, true},
        {102, L"Edit", L"C:\\Corvane-Recomp", edit, {28, 204, 516, 227}, false, true},
        {103, L"Button", L"Browse...", WS_TABSTOP, {524, 203, 612, 228}, false, true},
        {117, L"Static", L"(space)", 0, {28, 232, 616, 250}, false, true},
        {0, L"Button", L"When it's done", BS_GROUPBOX, {12, 264, 628, 350}, false, true},
        {108,
         L"Button",
         L"Add a desktop shortcut to the launcher",
         BS_AUTOCHECKBOX | WS_TABSTOP,
         {28, 284, 608, 304},
         true,
         true},
        {112,
         L"Button",
         L"Free up space: delete the build tools and leftovers (2-4 GB; the next update gets them "
         L"again and takes longer)",
         BS_AUTOCHECKBOX | WS_TABSTOP,
         {28, 304, 618, 324},
         false,
         true},
        {113,
         L"Button",
         L"Delete the disc image once it's extracted (the game doesn't need it)",
         BS_AUTOCHECKBOX | WS_TABSTOP,
         {28, 324, 608, 344},
         false,
         true},
        {105,
         L"Static",
         L"Ready.",
         SS_LEFTNOWORDWRAP | SS_ENDELLIPSIS,
         {12, 364, 422, 384},
         false,
         true},
        {109, L"Button", L"Play", WS_TABSTOP, {434, 359, 524, 387}, false, false},
        {104,
         L"Button",
         L"Install",
         BS_DEFPUSHBUTTON | WS_TABSTOP,
         {530, 359, 628, 387},
         false,
         true},
        {106, L"msctls_progress32", L"", 0, {12, 394, 516, 410}, false, true},
        {114, L"Button", L"Show details", WS_TABSTOP, {524, 390, 628, 414}, false, true},
        {107,
         L"Edit",
         L"",
         WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY,
         {12, 422, 628, 650},
         false,
         false},
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
    EXPECT_EQ(client.cy, 422);
    RECT frame = app.Frame();
    EXPECT_EQ(frame.left, (GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2);
    EXPECT_EQ(frame.top, (GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top)) / 3);
    app.Shot("idle");
}

TEST(WindowStart, DetailsMakeTheWindowTallerWithoutMovingIt) {
    App app;
    RECT before = app.Frame();
    app.Click(kIdDetails);
    EXPECT_EQ(app.Client().cy, 660);
    EXPECT_EQ(app.Client().cx, 640);
    EXPECT_EQ(app.Frame().top, before.top);
    EXPECT_EQ(app.Frame().left, before.left);
    EXPECT_TRUE(app.Visible(kIdLog));
    EXPECT_EQ(app.Text(kIdDetails), L"Hide details");
    app.Shot("details");
    app.Click(kIdDetails);
    EXPECT_EQ(app.Client().cy, 422);
    EXPECT_FALSE(app.Visible(kIdLog));
    EXPECT_EQ(app.Text(kIdDetails), L"Show details");
    EXPECT_EQ(app.Frame().top, before.top);
}

TEST(WindowStart, UpdateWithoutFolderOrOtherSpellingDoesNothing) {
    for (auto args :
         {std::vector<std::wstring>{L"--update"}, std::vector<std::wstring>{L"--Update", L"C:\\x"},
          std::vector<std::wstring>{L"--update=C:\\x"}}) {
        App app(args, {{L"SystemDrive", L"C:"}});
        EXPECT_EQ(app.Text(kIdInstallDir), L"C:\\Corvane-Recomp");
        EXPECT_EQ(app.Text(kIdStart), L"Install");
        EXPECT_EQ(app.Text(kIdStatus), L"Ready.");
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
    EXPECT_EQ(app.Text(kIdStart), L"Update");
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
    App app({}, {}, install / "corvane-setup.exe");
    EXPECT_EQ(app.Text(kIdInstallDir), install.native());
    ExpectUpdateLook(app);
    EXPECT_EQ(app.Text(kIdStatus), kInstalledStatus);
    EXPECT_TRUE(IsSpaceNote(app.Text(kIdSpaceNote))) << app.Text(kIdSpaceNote);
    app.Shot("update-look");

    // Another folder typed in doesn't undo the look.
    app.SetText(kIdInstallDir, (dir / "elsewhere").native());
    app.Post(WM_COMMAND, MAKEWPARAM(kIdInstallDir, EN_KILLFOCUS),
             reinterpret_cast<LPARAM>(app.Control(kIdInstallDir)));
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
    const std::string header = "Corvane Recompiled Setup, installing to " + install.string();
    EXPECT_TRUE(Until([&] {
        auto lines = LogLines(install / "setup.log");
        return std::count(lines.begin(), lines.end(), header) == 2;
    }));
    EXPECT_TRUE(Until([&] { return app.Visible(kIdPlay); }, std::chrono::seconds(180)));
    // Succeeded, but the launcher couldn't start: the window stays, without a box.
    EXPECT_EQ(app.Box(std::chrono::milliseconds(500)), nullptr);
    EXPECT_FALSE(app.Exited(std::chrono::milliseconds(0)));
    EXPECT_EQ(app.Text(kIdStart), L"Update");
    EXPECT_EQ(app.Text(kIdStatus), kDone + kShortcutEnding);
    EXPECT_EQ(SendMessageW(app.Control(kIdProgress), PBM_GETPOS, 0, 0), 100);
    app.Shot("update-finished");
}

}  // namespace
}  // namespace setup::test
