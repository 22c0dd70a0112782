#include <gtest/gtest.h>

#include "git_repo.h"
#include "programs.h"
#include "server.h"
#include "source_stage.h"

namespace setup::test {
namespace {

class SourceCodeTest : public SourceStage {
  protected:
    void SetUp() override {
        SourceStage::SetUp();
        urls::SetGithub(L"file://" + PathText(origin.mirror()));
    }

    std::string InClone(const std::string& command) {
        return "cd " + source.string() + " && " + command;
    }

    Origin origin{dir};
};

TEST_F(SourceCodeTest, FirstInstallClonesAndFollowsTheDefaultBranch) {
    auto lines = Stage();
    EXPECT_EQ(error, L"");
    EXPECT_EQ(ReadBytes(source / "README.md"), "first\n");
    EXPECT_EQ(lines.front(), L"== Downloading the source code");
    EXPECT_TRUE(Has(lines, L"$ " + GitCommand(source) + L"clone file://" +
                               PathText(origin.mirror()) + L"/tallowfen/corvane-recomp.git " +
                               Quote(staging)));
    EXPECT_TRUE(Has(lines, Git(L"fetch --tags --force origin")));
    EXPECT_TRUE(Has(lines, L"The source folder is on branch main: updating that branch."));
    EXPECT_TRUE(Has(lines, Git(L"pull --ff-only")));
    EXPECT_FALSE(HasPrefix(lines, Git(L"checkout")));
    EXPECT_FALSE(fs::exists(staging));
}

TEST_F(SourceCodeTest, AnEmptyFolderIsClonedInto) {
    fs::create_directories(source);
    Stage();
    EXPECT_EQ(error, L"");
    EXPECT_TRUE(fs::exists(source / ".git"));
}

TEST_F(SourceCodeTest, WhatIsInTheWayIsNamedAndLeftAlone) {
    const std::wstring folder =
        L" already exists and isn't a copy of the project. Choose another folder.";
    const std::wstring file = L" is a file, not a folder: move it away and try again.";
    const struct {
        const char* name;
        fs::path path;  // what is there, under the source folder's name or in it
        std::wstring message;
    } cases[] = {
        {"a folder with files", source / "mine.txt", folder},
        {"an empty file", source, file},
        {"a file", source, file},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(source);
        std::string bytes = c.name == std::string("an empty file") ? "" : "keep";
        WriteBytes(c.path, bytes);
        auto lines = Stage();
        EXPECT_EQ(error, PathText(source) + c.message);
        EXPECT_FALSE(HasPrefix(lines, L"$ "));
        EXPECT_EQ(ReadBytes(c.path), bytes);
        EXPECT_FALSE(fs::exists(source / ".git"));
    }
}

// A clone stopped half-way in place leaves a repository without a commit; it is
// cloned again. Anything of the user's beside it keeps the folder as it is.
TEST_F(SourceCodeTest, OnlyACloneThatNeverFinishedIsClonedAgain) {
    const std::wstring again =
        L"The source folder holds a download that never finished: downloading it again.";
    struct Case {
        const char* shape;  // run in the source folder
        bool clonedAgain;
        const char* kept;  // a file that must still be there
    } cases[] = {
        {"git init -q", true, nullptr},
        {"git init -q && echo mine > mine.txt", false, "mine.txt"},
        {"git init -q && echo mine > mine.txt && git add mine.txt && rm mine.txt", false,
         ".git/index"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shape);
        fs::remove_all(source);
        fs::create_directories(source);
        ASSERT_TRUE(Sh(InClone(c.shape)));
        auto lines = Stage();
        EXPECT_EQ(Has(lines, again), c.clonedAgain);
        EXPECT_EQ(fs::exists(source / "README.md"), c.clonedAgain);
        if (c.kept) {
            EXPECT_TRUE(fs::exists(source / c.kept));
        }
    }
}

TEST_F(SourceCodeTest, ACloneFailureEndsTheRun) {
    urls::SetGithub(L"file://" + PathText(dir / "no-such-mirror"));
    Stage();
    EXPECT_EQ(error, L"Couldn't download the source code from GitHub.");
}

TEST_F(SourceCodeTest, ARepeatRunFastForwards) {
    Stage();
    std::string before, after;
    ASSERT_TRUE(GitOutput(source, L"rev-parse --short HEAD", before));
    origin.Commit("second.txt", "2\n");
    auto lines = Stage();
    EXPECT_EQ(error, L"");
    EXPECT_EQ(lines.front(), L"== Updating the source code");
    EXPECT_EQ(ReadBytes(source / "second.txt"), "2\n");
    EXPECT_FALSE(Has(lines, L"(couldn't update the branch - building the code as it is)"));
    ASSERT_TRUE(GitOutput(source, L"rev-parse --short HEAD", after));
    EXPECT_NE(before, after);
    EXPECT_EQ(lines.back(),
              L"The source code was updated from " + Widen(before) + L" to " + Widen(after) + L".");
    // Nothing new upstream since.
    EXPECT_EQ(Stage().back(), L"The source code was already up to date.");
}

TEST_F(SourceCodeTest, ADivergedBranchIsBuiltAsItIs) {
    Stage();
    ASSERT_TRUE(Sh(InClone("echo local > local.txt && git add local.txt && git commit -qm local")));
    origin.Commit("remote.txt", "r\n");
    auto lines = Stage();
    EXPECT_EQ(error, L"");
    EXPECT_TRUE(Has(lines, L"(couldn't update the branch - building the code as it is)"));
    EXPECT_TRUE(fs::exists(source / "local.txt"));
    EXPECT_FALSE(fs::exists(source / "remote.txt"));
    EXPECT_EQ(lines.back(),
              L"The source code couldn't be updated: the code as it was has been built.");
}

// What git says when it can't name the branch is no branch's name.
TEST_F(SourceCodeTest, AFailedBranchQuestionNamesNoBranch) {
    Stage();
    // In front of the real git: one whose symbolic-ref fails with a message.
    WriteBytes(dir / "bin" / "git",
               "#!/bin/sh\ncase \"$*\" in *symbolic-ref*) echo 'fatal: no HEAD' >&2; exit 128;; "
               "esac\nPATH=${PATH#*:} exec git \"$@\"\n");
    fs::permissions(dir / "bin" / "git", fs::perms::owner_all);
    PathFirst first(dir / "bin");
    auto lines = Stage();
    EXPECT_EQ(error, L"");
    EXPECT_FALSE(HasPrefix(lines, L"The source folder is on branch"));
}

TEST_F(SourceCodeTest, UntrackedFilesDoNotStopAnUpdate) {
    Stage();
    WriteBytes(source / "notes.txt", "mine");
    origin.Commit("second.txt", "2\n");
    Stage();
    EXPECT_EQ(ReadBytes(source / "second.txt"), "2\n");
    EXPECT_EQ(ReadBytes(source / "notes.txt"), "mine");
}

TEST_F(SourceCodeTest, EditedTrackedFilesAreNeverOverwritten) {
    Stage();
    WriteBytes(source / "README.md", "my edit\n");
    origin.Commit("README.md", "upstream\n");
    auto lines = Stage();
    EXPECT_TRUE(Has(lines, Git(L"fetch --tags --force origin")));
    EXPECT_TRUE(
        Has(lines, L"The source folder has changes of its own: building it as it is (no update)."));
    EXPECT_FALSE(Has(lines, Git(L"pull --ff-only")));
    EXPECT_EQ(ReadBytes(source / "README.md"), "my edit\n");
    EXPECT_EQ(lines.back(),
              L"The source code has changes of its own: it was built as it is, not updated.");
}

TEST_F(SourceCodeTest, ADetachedCloneOfflineTakesTheVersionsOwnTag) {
    origin.Tag("v0.1.0");
    origin.Commit("later.txt", "later\n");
    Stage();
    ASSERT_TRUE(Sh(InClone("git checkout -q --detach HEAD")));
    std::string before;
    ASSERT_TRUE(GitOutput(source, L"rev-parse --short HEAD", before));
    auto lines = Stage();
    EXPECT_TRUE(Has(lines, Git(L"checkout --force v0.1.0")));
    EXPECT_TRUE(Has(lines, L"Building release v0.1.0."));
    EXPECT_FALSE(fs::exists(source / "later.txt"));
    // Where HEAD is at a tag, the tag names it.
    EXPECT_EQ(lines.back(), L"The source code was updated from " + Widen(before) + L" to v0.1.0.");
}

TEST_F(SourceCodeTest, ADetachedCloneWithoutTheTagGoesBackToMain) {
    origin.Commit("later.txt", "later\n");
    Stage();
    ASSERT_TRUE(Sh(InClone("git checkout -q --detach HEAD~1")));
    auto lines = Stage();
    EXPECT_TRUE(Has(lines, Git(L"checkout --force v0.1.0")));
    EXPECT_TRUE(Has(lines, Git(L"checkout --force main")));
    EXPECT_FALSE(Has(lines, L"(couldn't update - building the code as it is)"));
    EXPECT_TRUE(fs::exists(source / "later.txt"));
}

TEST_F(SourceCodeTest, ADetachedCloneWhoseMainCannotUpdateSaysSo) {
    Stage();
    ASSERT_TRUE(
        Sh(InClone("echo x > x.txt && git add x.txt && git commit -qm x && "
                   "git checkout -q --detach HEAD")));
    origin.Commit("remote.txt", "r\n");
    auto lines = Stage();
    EXPECT_TRUE(Has(lines, Git(L"checkout --force main")));
    EXPECT_TRUE(Has(lines, L"(couldn't update - building the code as it is)"));
}

TEST_F(SourceCodeTest, AGitFileCountsAsAClone) {
    WriteBytes(source / ".git", "gitdir: /nowhere\n");
    auto lines = Stage();
    EXPECT_EQ(lines.front(), L"== Updating the source code");
    EXPECT_FALSE(HasPrefix(lines, L"$ " + GitCommand(source) + L"clone"));
    // Whatever git said about the broken clone counts as local changes: no update.
    EXPECT_TRUE(
        Has(lines, L"The source folder has changes of its own: building it as it is (no update)."));
}

// The release lookup answered by the local server: its own folder under the
// server's web root stands in for the GitHub API.
class HttpSourceCode : public SourceCodeTest {
  protected:
    void SetUp() override {
        SourceCodeTest::SetUp();
        std::string name = dir.path().filename().string();
        api = WebRoot() / name;
        urls::SetGithubApi(WebUrl(name));
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(api, ec);
        SourceCodeTest::TearDown();
    }
    void Answer(const std::string& json) {
        WriteBytes(api / "repos/tallowfen/corvane-recomp/releases/latest", json);
    }
    // A clone whose HEAD is detached one commit behind main.
    void Detached() {
        origin.Tag("v0.1.0");
        origin.Tag("v0.2.0-beta");
        origin.Commit("later.txt", "later\n");
        origin.Tag("v0.2.0");
        Stage();
        ASSERT_TRUE(Sh(InClone("git checkout -q --detach HEAD~1")));
    }

    fs::path api;
};

TEST_F(HttpSourceCode, ADetachedCloneTakesTheLatestRelease) {
    Detached();
    Answer(R"({"url":"x","tag_name" : "v0.2.0","name":"Corvane 0.2"})");
    auto lines = Stage();
    EXPECT_TRUE(Has(lines, L"Building release v0.2.0."));
    EXPECT_TRUE(fs::exists(source / "later.txt"));
}

TEST_F(HttpSourceCode, TheFirstTagInTheAnswerWins) {
    Detached();
    Answer(R"({"tag_name":"v0.2.0-beta","assets":[{"tag_name":"v0.2.0"}]})");
    auto lines = Stage();
    EXPECT_TRUE(Has(lines, L"Building release v0.2.0-beta."));
}

TEST_F(HttpSourceCode, AnUnsafeTagFallsBackToTheVersionsOwn) {
    const std::string tags[] = {"--upload-pack=touch pwned", "v1 && touch pwned",
                                std::string(1 << 20, 'v')};
    Detached();
    for (const auto& tag : tags) {
        Answer("{\"tag_name\":\"" + tag + "\"}");
        auto lines = Stage();
        EXPECT_TRUE(Has(lines, Git(L"checkout --force v0.1.0"))) << tag.substr(0, 40);
        EXPECT_FALSE(fs::exists(install / "pwned"));
    }
}

TEST_F(HttpSourceCode, AFreshCloneIgnoresTheReleaseAndFollowsItsBranch) {
    Answer(R"({"tag_name":"v0.2.0"})");
    origin.Tag("v0.2.0");
    auto lines = Stage();
    EXPECT_TRUE(Has(lines, L"The source folder is on branch main: updating that branch."));
    EXPECT_FALSE(HasPrefix(lines, Git(L"checkout")));
}

}  // namespace
}  // namespace setup::test
