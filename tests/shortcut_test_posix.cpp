#include <gtest/gtest.h>

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

}  // namespace
}  // namespace setup::test
