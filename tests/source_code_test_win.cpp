// The source code stage with the stand-in git (tests/standin/windows) over
// plain repositories: the outcomes the stage reads from git (exit codes, the
// branch line, the changes line) are those real git gives in these cases.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "os.h"
#include "plain_origin.h"
#include "programs.h"
#include "source_stage.h"

namespace setup::test {
namespace {

class StandinGit : public SourceStage {
  protected:
    void SetUp() override {
        SourceStage::SetUp();
        fs::create_directories(bin);
        fs::copy_file(Helper("standin"), bin / "git.exe");
        urls::SetGithub(origin.Base());
    }

    // A git command in the clone: its exit code, its lines in `lines`.
    int RunGit(const std::wstring& args, std::vector<std::string>* lines = nullptr) {
        Inbox inbox;
        auto take = [lines](const std::string& line) {
            if (lines) lines->push_back(line);
        };
        return setup::Run(L"git -C " + Quote(source) + L" " + args, install, take);
    }

    fs::path bin = dir / "bin";
    PathFirst path{bin};
    PlainOrigin origin{dir / "mirror"};
};

TEST_F(StandinGit, FirstInstallClonesOntoMainAndPullsNothing) {
    auto lines = Stage();
    EXPECT_EQ(error, L"");
    EXPECT_EQ(ReadBytes(source / "README.md"), "first\n");
    EXPECT_TRUE(Has(lines, L"$ " + GitCommand(source) + L"clone " + origin.Base() +
                               L"/tallowfen/corvane-recomp.git " + Quote(staging)));
    EXPECT_TRUE(Has(lines, L"The source folder is on branch main: updating that branch."));
    EXPECT_TRUE(Has(lines, L"Already up to date."));
    std::vector<std::string> out;
    EXPECT_EQ(RunGit(L"symbolic-ref -q --short HEAD", &out), 0);
    EXPECT_EQ(out, std::vector<std::string>{"main"});
}

TEST_F(StandinGit, ARepeatRunFastForwardsToTheNewFile) {
    Stage();
    origin.Commit("NEWS", "new\n");
    auto lines = Stage();
    EXPECT_EQ(error, L"");
    EXPECT_EQ(lines.front(), L"== Updating the source code");
    EXPECT_TRUE(Has(lines, L"Fast-forward"));
    EXPECT_FALSE(Has(lines, L"(couldn't update the branch - building the code as it is)"));
    EXPECT_EQ(ReadBytes(source / "NEWS"), "new\n");
}

TEST_F(StandinGit, EditedTrackedFilesCountAsChangesUntrackedOnesDont) {
    Stage();
    WriteBytes(source / "notes.txt", "mine");
    std::vector<std::string> out;
    EXPECT_EQ(RunGit(L"status --porcelain --untracked-files=no --ignore-submodules=all", &out), 0);
    EXPECT_TRUE(out.empty());

    WriteBytes(source / "README.md", "my edit\n");
    origin.Commit("README.md", "upstream\n");
    auto lines = Stage();
    EXPECT_TRUE(
        Has(lines, L"The source folder has changes of its own: building it as it is (no update)."));
    EXPECT_EQ(ReadBytes(source / "README.md"), "my edit\n");
    out.clear();
    EXPECT_EQ(RunGit(L"status --porcelain --untracked-files=no --ignore-submodules=all", &out), 0);
    EXPECT_EQ(out, std::vector<std::string>{" M README.md"});
}

TEST_F(StandinGit, ADetachedCloneTakesTheVersionsTagOrGoesBackToMain) {
    origin.Tag("v0.1.0");
    std::string first = origin.Main();
    origin.Commit("later.txt", "later\n");
    Stage();
    ASSERT_EQ(RunGit(L"checkout --force " + Widen(first)), 0);
    EXPECT_FALSE(Exists(source / "later.txt"));
    EXPECT_NE(RunGit(L"symbolic-ref -q --short HEAD"), 0);

    auto lines = Stage();
    EXPECT_TRUE(Has(lines, L"Building release v0.1.0."));
    EXPECT_FALSE(Exists(source / "later.txt"));

    // Without the tag: back to main, which is brought up to date.
    fs::remove(source / ".git" / "refs" / "tags" / "v0.1.0");
    fs::remove(dir / "mirror" / "tallowfen" / "corvane-recomp.git" / "refs" / "tags" / "v0.1.0");
    lines = Stage();
    EXPECT_TRUE(Has(lines, Git(L"checkout --force v0.1.0")));
    EXPECT_TRUE(Has(lines, L"error: pathspec 'v0.1.0' did not match any file(s) known to git"));
    EXPECT_TRUE(Has(lines, Git(L"checkout --force main")));
    EXPECT_FALSE(Has(lines, L"(couldn't update - building the code as it is)"));
    EXPECT_TRUE(Exists(source / "later.txt"));
}

TEST_F(StandinGit, CommandsFailAsGitDoes) {
    urls::SetGithub(PlainOrigin(dir / "other").Base() + L"/missing");
    Stage();
    EXPECT_EQ(error, L"Couldn't download the source code from GitHub.");

    urls::SetGithub(origin.Base());
    Stage();
    ASSERT_EQ(error, L"");
    EXPECT_EQ(RunGit(L"checkout --force no-such-branch"), 1);
    fs::remove_all(dir / "mirror");
    EXPECT_EQ(RunGit(L"fetch --tags --force origin"), 128);
    EXPECT_EQ(RunGit(L"pull --ff-only"), 1);
    fs::remove_all(source / ".git");
    EXPECT_EQ(RunGit(L"status --porcelain --untracked-files=no --ignore-submodules=all"), 128);
}

// An antivirus opens a fresh clone to scan it, and while it holds the files
// Windows refuses to move the folder: the stage waits for it to let go, for
// 10 s at most, and then says who is in the way.
TEST_F(StandinGit, ACloneAScannerHoldsIsMovedOnceItLetsGo) {
    const struct {
        const wchar_t* held;  // milliseconds
        bool moved;
    } cases[] = {{L"1500", true}, {L"20000", false}};
    const std::wstring waiting = L"Another program is using " + PathText(staging);
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.held));
        fs::remove_all(install);
        fs::create_directories(install);
        os::SetEnv(L"CORVANE_GIT_SCAN", c.held);
        auto lines = Stage();
        os::SetEnv(L"CORVANE_GIT_SCAN", L"");
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [&](const std::wstring& l) { return l.starts_with(waiting); }),
                  1);
        if (c.moved) {
            EXPECT_EQ(error, L"");
            EXPECT_EQ(ReadBytes(source / "README.md"), "first\n");
            EXPECT_FALSE(Exists(staging));
        } else {
            const std::wstring head = L"Windows wouldn't let Setup move " + PathText(staging) +
                                      L" to " + PathText(source) + L": ";
            const std::wstring tail =
                L". Another program, often an antivirus scanning the new files, is using them. "
                L"Try again in a minute.";
            EXPECT_TRUE(error.starts_with(head)) << Narrow(error);
            EXPECT_TRUE(error.ends_with(tail)) << Narrow(error);
            EXPECT_GT(error.size(), head.size() + tail.size());  // the system's reason
            EXPECT_TRUE(Exists(staging / "README.md"));
        }
    }
}

// The user's cancel ends that wait at once: the clone stays where git made it
// although the scanner lets go well within the 10 s.
TEST_F(StandinGit, ACancelEndsTheWaitForAScanner) {
    os::SetEnv(L"CORVANE_GIT_SCAN", L"3000");
    {
        Inbox inbox;
        std::thread worker([&] { error = FailureOf([&] { SourceCode(install, source); }); });
        bool waiting = false;
        for (int i = 0; i < 600 && !waiting; ++i) {
            for (const std::wstring& line : Texts(inbox.Drain(), kMsgLog))
                waiting = waiting || line.starts_with(L"Another program is using ");
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        s_cancel = true;
        worker.join();
        EXPECT_TRUE(waiting);
    }
    os::SetEnv(L"CORVANE_GIT_SCAN", L"");
    EXPECT_EQ(error, L"Cancelled.");
    EXPECT_TRUE(Exists(staging / "README.md"));
    EXPECT_FALSE(Exists(source / "README.md"));
    s_cancel = false;
    EXPECT_TRUE(os::Delete(staging).ok);  // once the scanner lets go
}

}  // namespace
}  // namespace setup::test
