#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>

#include "desktop.h"
#include "os.h"
#include "setup.h"
#include "temp.h"

namespace setup::test {
namespace {

const std::wstring kName = L"Corvane Recompiled";

// The desktop folder comes from user-dirs.dirs, as the desktops read it.
TEST(LinuxShortcut, LandsInTheUsersDesktopFolder) {
    struct Case {
        const char* dirs;     // user-dirs.dirs; nullptr for none
        const char* desktop;  // under the home folder
    } cases[] = {
        {nullptr, "Desktop"},
        {"XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n", "Schreibtisch"},
        {"# written by xdg-user-dirs-update\nXDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n"
         "  XDG_DESKTOP_DIR=\"@/Bureau\"\n",
         "Bureau"},
        {"XDG_DESKTOP_DIR=\"$HOME/Old\"\nXDG_DESKTOP_DIR=\"$HOME/New\"\n", "New"},
        {"XDG_DESKTOP_DIR=\"$HOME/My \\\"Desk\\\"\"\n", "My \"Desk\""},
        {"XDG_DESKTOP_DIR=\"relative\"\n", "Desktop"},
        {"XDG_DESKTOP_DIR=\"$HOME/unclosed\n", "Desktop"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.desktop);
        Desktop desktop;
        fs::path home = desktop.Shortcut().parent_path().parent_path();
        if (c.dirs) {
            std::string text = c.dirs;
            // "@" stands for the home folder written as an absolute path.
            if (auto at = text.find('@'); at != std::string::npos)
                text.replace(at, 1, home.string());
            WriteBytes(home / ".config" / "user-dirs.dirs", text);
        }
        fs::create_directories(home / c.desktop);
        EXPECT_TRUE(os::Shortcut("/opt/game/CorvaneLauncher.exe", "/opt/game", kName, kName));
        EXPECT_TRUE(Exists(home / c.desktop / "Corvane Recompiled.desktop"));
    }
}

TEST(LinuxShortcut, NoDesktopFolderNoShortcut) {
    Desktop desktop;
    fs::remove(desktop.Shortcut().parent_path());
    EXPECT_FALSE(os::Shortcut("/opt/game/CorvaneLauncher.exe", "/opt/game", kName, kName));
    EXPECT_FALSE(Exists(desktop.Shortcut().parent_path()));
}

TEST(LinuxShortcut, LauncherFileQuotesThePathAndIsExecutable) {
    Desktop desktop;
    fs::path folder = "/games/we\\ird \"q\" $x 100% `t`/runtime";
    ASSERT_TRUE(os::Shortcut(folder / "CorvaneLauncher.exe", folder, kName, kName));
    EXPECT_EQ(ReadBytes(desktop.Shortcut()),
              "[Desktop Entry]\n"
              "Type=Application\n"
              "Name=Corvane Recompiled\n"
              "Exec=\"/games/we\\\\\\\\ird \\\\\"q\\\\\" \\\\$x 100%% \\\\`t\\\\`/runtime/"
              "CorvaneLauncher.exe\"\n"
              "Path=/games/we\\\\ird \"q\" $x 100% `t`/runtime\n");
    auto link = desktop.Read();
    ASSERT_TRUE(link.has_value());
    EXPECT_EQ(link->target, folder / "CorvaneLauncher.exe");
    EXPECT_EQ(link->workingDir, folder);
    auto perms = fs::status(desktop.Shortcut()).permissions();
    EXPECT_NE(perms & fs::perms::owner_exec, fs::perms::none);
}

// Control characters are escaped on the lines, so that a folder with a tab
// or a line break still names the same folder when the desktop reads it.
TEST(LinuxShortcut, ControlCharactersInTheFolderComeBackIntact) {
    for (const char* name : {"/games/tab\there", "/games/new\nline/x", "/games/cr\rx\t\n"}) {
        SCOPED_TRACE(name);
        Desktop desktop;
        fs::path folder = name;
        ASSERT_TRUE(os::Shortcut(folder / "CorvaneLauncher.exe", folder, kName, kName));
        std::string text = ReadBytes(desktop.Shortcut());
        // One line per key: nothing of the folder broke a line.
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5) << text;
        auto link = desktop.Read();
        ASSERT_TRUE(link.has_value());
        EXPECT_EQ(link->target, folder / "CorvaneLauncher.exe");
        EXPECT_EQ(link->workingDir, folder);
    }
}

// Without HOME (unset or empty) the desktop is the one of the user's home
// folder in the user database.
TEST(LinuxShortcut, WithoutHomeTheUsersOwnHomeFolderCounts) {
    const passwd* user = getpwuid(getuid());
    ASSERT_NE(user, nullptr);
    fs::path own = user->pw_dir ? fs::path(user->pw_dir) / "Desktop" : fs::path();
    std::error_code ec;
    if (fs::exists(own, ec)) GTEST_SKIP() << "the test would write to " << own;
    Desktop desktop;  // puts HOME back afterwards
    for (bool unset : {true, false}) {
        SCOPED_TRACE(unset ? "unset" : "empty");
        if (unset) {
            unsetenv("HOME");
        } else {
            setenv("HOME", "", 1);
        }
        EXPECT_FALSE(os::Shortcut("/opt/game/CorvaneLauncher.exe", "/opt/game", kName, kName));
        EXPECT_FALSE(fs::exists(own, ec));
        EXPECT_FALSE(Exists(desktop.Shortcut()));
    }
}

}  // namespace
}  // namespace setup::test
