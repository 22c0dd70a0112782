#include <gtest/gtest.h>

#include "desktop.h"
#include "finish.h"
#include "inbox.h"
#include "os.h"
#include "setup.h"
#include "temp.h"
#include "undeletable.h"

namespace setup::test {
namespace {

const std::wstring kSummary = L"Done. Start the game with the launcher";
const std::wstring kShortcutEnding = L" (\"Corvane Recompiled\" on the desktop).";
// The path as the platform writes it.
#ifdef _WIN32
const std::wstring kImageParagraph =
    L"\n\nThe disc image was deleted (the game's files are in corvane-recomp\\game\\extracted).";
#else
const std::wstring kImageParagraph =
    L"\n\nThe disc image was deleted (the game's files are in corvane-recomp/game/extracted).";
#endif
const std::wstring kNothingFreed =
    L"\n\nFreed 0 MB (the next update downloads the tools again and rebuilds from scratch).";

// A finished build: the launcher is there and s_installed names it, as the
// build stage leaves them. Finish runs on the test's thread, which has COM.
class FinishTest : public ::testing::Test {
  protected:
    void SetUp() override {
        s_cancel = false;
        choices.installDir = dir / "install";
        at = LayoutOf(choices.installDir);
        WriteBytes(at.launcher, "launcher");
        s_installed = at.launcher;
        image = dir / "images" / "disc.iso";
        WriteBytes(image, "disc");
        choices.source = image;
    }
    void TearDown() override {
        s_cancel = false;
        s_installed.clear();
    }

    // Runs finishing and returns what it posted.
    std::vector<Item> Finished(bool extracted = false) {
        RunState run{choices, at, extracted, L"left from earlier", update};
        Finish(run);
        message = run.message;
        return inbox.Drain();
    }

    void Extract() { WriteBytes(at.xex, "xex"); }
    // The summary's second paragraph: where the game is.
    std::wstring Where() const {
        return L"\n\nInstalled in " + PathText(choices.installDir) + L".";
    }

    os::ThreadScope apartment;
    TempDir dir;
    Inbox inbox;
    Choices choices;
    Layout at;
    fs::path image;
    std::wstring message;
    std::wstring update;  // what the source stage said of an update
};

TEST_F(FinishTest, SummaryEndingFollowsTheChoice) {
    const std::wstring kUpToDate = L"The source code was already up to date.";
    struct Case {
        bool shortcut;
        std::wstring update;
        std::wstring message;
    } cases[] = {
        {false, L"", kSummary + L"." + Where()},
        {true, L"", kSummary + kShortcutEnding + Where()},
        {false, kUpToDate, kSummary + L"." + Where() + L" " + kUpToDate},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shortcut);
        Desktop desktop;
        choices.shortcut = c.shortcut;
        update = c.update;
        auto items = Finished();
        EXPECT_EQ(message, c.message);
        EXPECT_TRUE(items.empty());  // neither logged nor shown
        EXPECT_EQ(Exists(desktop.Shortcut()), c.shortcut);
    }
}

TEST_F(FinishTest, ShortcutStartsTheLauncherInItsFolder) {
    Desktop desktop;
    choices.shortcut = true;
    Finished();
    auto link = desktop.Read();
    ASSERT_TRUE(link.has_value());
    EXPECT_EQ(link->target, at.launcher);
    EXPECT_EQ(link->workingDir, at.launcher.parent_path());
    EXPECT_EQ(link->description, L"Corvane Recompiled");
}

TEST_F(FinishTest, ShortcutReplacesAnEarlierOne) {
    Desktop desktop;
    choices.shortcut = true;
    Finished();
    TempDir other;
    s_installed = other / "runtime" / "CorvaneLauncher.exe";
    WriteBytes(s_installed, "another launcher");
    Finished();
    auto link = desktop.Read();
    ASSERT_TRUE(link.has_value());
    EXPECT_EQ(link->target, s_installed);
}

TEST_F(FinishTest, UnsavableShortcutKeepsTheEnding) {
    Desktop desktop;
    fs::create_directories(desktop.Shortcut());  // a folder where the file would go
    choices.shortcut = true;
    auto items = Finished();
    EXPECT_EQ(message, kSummary + kShortcutEnding + Where());
    EXPECT_TRUE(items.empty());
    EXPECT_TRUE(fs::is_directory(desktop.Shortcut()));
}

enum class Source { kImage, kFolder };

TEST_F(FinishTest, DiscImageIsDeletedOnlyAfterThisRunExtractedIt) {
    struct Case {
        const char* name;
        bool chosen;
        bool extractedBefore;
        Source source;
        int xex;  // after the build: 0 missing, 1 a file, 2 a folder
        bool deleted;
    } cases[] = {
        {"first install from an image", true, false, Source::kImage, 1, true},
        {"default.xex as a folder still counts", true, false, Source::kImage, 2, true},
        {"not chosen", false, false, Source::kImage, 1, false},
        {"already extracted before this run", true, true, Source::kImage, 1, false},
        {"extracted-disc folder as the source", true, false, Source::kFolder, 1, false},
        {"default.xex missing after the build", true, false, Source::kImage, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir run;
        choices.installDir = run / "install";
        at = LayoutOf(choices.installDir);
        choices.source = c.source == Source::kImage ? run / "disc.iso" : run / "disc";
        if (c.source == Source::kImage) {
            WriteBytes(choices.source, "disc");
        } else {
            WriteBytes(choices.source / "default.xex", "xex");
        }
        if (c.xex == 1) WriteBytes(at.xex, "xex");
        if (c.xex == 2) fs::create_directories(at.xex);
        choices.deleteImage = c.chosen;

        auto logs = Texts(Finished(c.extractedBefore), kMsgLog);
        EXPECT_EQ(Exists(choices.source), !c.deleted);
        if (c.deleted) {
            EXPECT_EQ(logs, std::vector<std::wstring>{L"Deleted the disc image " +
                                                      PathText(choices.source)});
            EXPECT_EQ(message, kSummary + L"." + Where() + kImageParagraph);
        } else {
            EXPECT_TRUE(logs.empty());
            EXPECT_EQ(message, kSummary + L"." + Where());
        }
    }
}

TEST_F(FinishTest, ImageThatCannotBeDeletedIsOnlyLogged) {
    Extract();
    choices.deleteImage = true;
    std::vector<std::wstring> logs;
    {
        Undeletable held(image);
        logs = Texts(Finished(), kMsgLog);
    }
    EXPECT_EQ(logs,
              std::vector<std::wstring>{L"Couldn't delete the disc image " + PathText(image)});
    EXPECT_EQ(message, kSummary + L"." + Where());
    EXPECT_EQ(ReadBytes(image), "disc");
}

TEST_F(FinishTest, FreedParagraphComesBeforeTheImageParagraph) {
    Extract();
    choices.freeSpace = true;
    choices.deleteImage = true;
    auto items = Finished();
    EXPECT_EQ(message, kSummary + L"." + Where() + kNothingFreed + kImageParagraph);
    auto logs = Texts(items, kMsgLog);
    ASSERT_EQ(logs.size(), 4u);
    EXPECT_EQ(logs[0], L"== Freeing up space");
    EXPECT_EQ(logs[3], L"Deleted the disc image " + PathText(image));
}

TEST_F(FinishTest, CancelPressedMeanwhileChangesNothing) {
    Desktop desktop;
    Extract();
    WriteBytes(at.source / "build" / "main.obj", "object");
    choices.shortcut = true;
    choices.freeSpace = true;
    choices.deleteImage = true;
    s_cancel = true;
    Finished();
    EXPECT_EQ(message, kSummary + kShortcutEnding + Where() + kNothingFreed + kImageParagraph);
    EXPECT_TRUE(Exists(desktop.Shortcut()));
    EXPECT_FALSE(Exists(at.source / "build" / "main.obj"));
    EXPECT_FALSE(Exists(image));
}

}  // namespace
}  // namespace setup::test
