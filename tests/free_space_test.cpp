#include <gtest/gtest.h>

#include "finish.h"
#include "inbox.h"
#include "setup.h"
#include "temp.h"
#include "undeletable.h"

namespace setup::test {
namespace {

constexpr std::uintmax_t kMiB = 1ull << 20;
constexpr std::uintmax_t kGiB = 1ull << 30;

const std::wstring kLeftoversLine =
    L"Deleting Build leftovers (object files, libraries, generated C++): ";
const std::wstring kToolsLine =
    L"Deleting Build tools Setup downloaded (Git, CMake, Ninja, Clang, Python): ";
const std::wstring kPartly = L"(some of it couldn't be deleted)";

// The log without the line of a wait for the held file, which is checked to
// be there once where Setup waits such a file out.
std::vector<std::wstring> Logged(std::vector<std::wstring> logs, const fs::path& held) {
    const std::wstring waiting = L"Another program is using " + PathText(held) + L" (";
    auto waits = std::erase_if(logs, [&](const std::wstring& l) { return l.starts_with(waiting); });
    EXPECT_EQ(waits, kWaitedOut ? 1u : 0u);
    return logs;
}

std::wstring Freed(const std::wstring& size) {
    return L"earlier text\n\nFreed " + size +
           L" (the next update downloads the tools again and rebuilds from scratch).";
}

// An install after a build: 1 GiB of leftovers next to what the game needs,
// and 1.5 GiB of downloaded tools. The big files are holes where possible.
class FreeSpaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        choices.installDir = dir / "install";
        at = LayoutOf(choices.installDir);
        build = at.source / "build";
        WriteSized(build / "main.OBJ", 512 * kMiB);
        WriteSized(build / "lib" / "core.A", 256 * kMiB);
        WriteSized(build / "core.obj.d", 10 * kMiB);
        WriteSized(at.launcher, 30 * kMiB);
        WriteSized(at.source / "generated" / "ppc" / "recomp.cpp", 256 * kMiB);
        WriteSized(at.tools / "Clang" / "bin" / "clang.exe", kGiB);
        WriteSized(at.tools / "Git" / "git.exe", 256 * kMiB);
        WriteSized(at.tools / "cmake.zip", 256 * kMiB);
    }

    std::vector<Item> Freeing() {
        RunState run{choices, at, false, L"earlier text", {}};
        FreeSpace(run);
        message = run.message;
        return inbox.Drain();
    }

    TempDir dir;
    Inbox inbox;
    Choices choices;
    Layout at;
    fs::path build;
    std::wstring message;
};

TEST_F(FreeSpaceTest, DeletesLeftoversAndToolsAndSaysWhatItFreed) {
    auto items = Freeing();
    EXPECT_EQ(Texts(items, kMsgStatus), std::vector<std::wstring>{L"Freeing up space"});
    EXPECT_EQ(Texts(items, kMsgLog),
              (std::vector<std::wstring>{L"== Freeing up space", kLeftoversLine + L"1.0 GB",
                                         kToolsLine + L"1.5 GB"}));
    EXPECT_EQ(message, Freed(L"2.5 GB"));
    EXPECT_FALSE(Exists(build / "main.OBJ"));
    EXPECT_FALSE(Exists(build / "lib" / "core.A"));
    EXPECT_FALSE(Exists(at.source / "generated" / "ppc"));
    EXPECT_FALSE(Exists(at.tools));
    // What the game and the next build's bookkeeping need stays.
    EXPECT_TRUE(Exists(at.launcher));
    EXPECT_TRUE(Exists(build / "core.obj.d"));
    EXPECT_TRUE(Exists(build / "lib"));
}

TEST_F(FreeSpaceTest, NothingToDeleteStillSaysSo) {
    TempDir empty;
    choices.installDir = empty / "install";
    at = LayoutOf(choices.installDir);
    auto logs = Texts(Freeing(), kMsgLog);
    EXPECT_EQ(logs, (std::vector<std::wstring>{L"== Freeing up space", kLeftoversLine + L"0 MB",
                                               kToolsLine + L"0 MB"}));
    EXPECT_EQ(message, Freed(L"0 MB"));
}

TEST_F(FreeSpaceTest, GitAndNinjaAloneAreKept) {
    fs::remove_all(at.tools / "Clang");
    WriteSized(at.tools / "Ninja" / "ninja.exe", kMiB);
    auto logs = Texts(Freeing(), kMsgLog);
    ASSERT_EQ(logs.size(), 3u);
    EXPECT_EQ(logs[2], kToolsLine + L"0 MB");
    EXPECT_EQ(message, Freed(L"1.0 GB"));
    EXPECT_TRUE(Exists(at.tools / "Git" / "git.exe"));
    EXPECT_TRUE(Exists(at.tools / "Ninja" / "ninja.exe"));
    EXPECT_TRUE(Exists(at.tools / "cmake.zip"));
}

TEST_F(FreeSpaceTest, GroupWithAnUndeletableFileIsLeftOutOfTheTotal) {
    fs::path file = at.tools / "Clang" / "bin" / "clang.exe";
    std::vector<Item> items;
    {
        Undeletable held(file);
        items = Freeing();
    }
    // The tool went under its staging name before the delete (the next run
    // deletes it there); on Windows the held file may keep its folder's name.
    fs::path staged = at.tools / "Clang.partial" / "bin" / "clang.exe";
    fs::path kept = Exists(staged) ? staged : file;
    EXPECT_TRUE(kept == staged || kWaitedOut);
    auto logs = Logged(Texts(items, kMsgLog), kept);
    EXPECT_EQ(logs, (std::vector<std::wstring>{L"== Freeing up space", kLeftoversLine + L"1.0 GB",
                                               kToolsLine + L"1.5 GB", kPartly}));
    EXPECT_EQ(message, Freed(L"1.0 GB"));
    EXPECT_TRUE(Exists(kept));
    EXPECT_FALSE(Exists(build / "main.OBJ"));
}

TEST_F(FreeSpaceTest, UndeletableLeftoverDoesNotStopTheRest) {
    std::vector<std::wstring> logs;
    {
        fs::path file = build / "lib" / "core.A";
        Undeletable held(file);
        logs = Logged(Texts(Freeing(), kMsgLog), file);
    }
    EXPECT_EQ(logs, (std::vector<std::wstring>{L"== Freeing up space", kLeftoversLine + L"1.0 GB",
                                               kPartly, kToolsLine + L"1.5 GB"}));
    EXPECT_EQ(message, Freed(L"1.5 GB"));
    EXPECT_TRUE(Exists(build / "lib" / "core.A"));
    // The other leftovers and the tools went all the same.
    EXPECT_FALSE(Exists(build / "main.OBJ"));
    EXPECT_FALSE(Exists(at.source / "generated" / "ppc"));
    EXPECT_FALSE(Exists(at.tools));
}

}  // namespace
}  // namespace setup::test
