#include <gtest/gtest.h>

#include <utility>

#include "cli.h"
#include "install_dir.h"
#include "temp.h"
#include "urls.h"
#include "window_args.h"
#include "window_texts.h"

namespace setup::test {
namespace {

TEST(WindowArgs, UpdateTakesTheFolderAfterTheLastExactOption) {
    struct Case {
        std::vector<std::wstring> args;
        std::wstring folder;
    } cases[] = {
        {{L"setup"}, L""},
        {{L"setup", L"--update"}, L""},
        {{L"setup", L"--update", L"D:\\Games\\Corvane"}, L"D:\\Games\\Corvane"},
        {{L"setup", L"--update", L"A", L"--update", L"B"}, L"B"},
        {{L"setup", L"--update", L"A", L"--update"}, L"A"},  // a trailing option is ignored
        {{L"setup", L"--Update", L"A"}, L""},
        {{L"setup", L"--update=A"}, L""},
        {{L"setup", L"x", L"--update", L"A", L"y"}, L"A"},
        {{L"setup", L"--update", L"--update", L"A"}, L"A"},
        {{L"--update", L"A"}, L""},  // the program's own name is never an option
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UpdateFolder(c.args), c.folder) << c.args.size();
    }
}

// The yes-or-no answers of the command line as letters: s shortcut, f free
// space, d delete image, y yes, q quiet, h help, u unattended.
std::string Answers(const WindowArgs& w) {
    const std::pair<bool, char> flags[] = {
        {w.shortcut, 's'}, {w.freeSpace, 'f'}, {w.deleteImage, 'd'}, {w.yes, 'y'},
        {w.quiet, 'q'},    {w.help, 'h'},      {w.Unattended(), 'u'}};
    std::string letters;
    for (auto [on, letter] : flags)
        if (on) letters += letter;
    return letters;
}

TEST(WindowArgs, UnattendedOptionsFillTheChoicesOrNameWhatIsMissing) {
    const std::wstring noDir = L"--install-dir needs the folder to install to after it.";
    const std::wstring noSource =
        L"--source needs the disc image or the extracted disc folder after it.";
    struct Case {
        std::vector<std::wstring> args;
        std::wstring source, installDir;
        std::string answers;
        std::wstring error;  // empty: usable
    } cases[] = {
        {{L"setup"}, L"", L"", "", L""},
        {{L"setup", L"--source", L"D:\\c.iso", L"--install-dir", L"E:\\C", L"--shortcut",
          L"--free-space", L"--delete-image", L"--yes", L"--quiet", L"--bogus"},
         L"D:\\c.iso",
         L"E:\\C",
         "sfdyqu",
         L""},
        {{L"setup", L"--install-dir", L"E:\\C"}, L"", L"E:\\C", "u", L""},
        {{L"setup", L"--shortcut", L"--quiet"}, L"", L"", "sq", L""},
        {{L"setup", L"--install-dir"}, L"", L"", "", noDir},
        {{L"setup", L"--source", L"--quiet"}, L"", L"", "q", noSource},
        {{L"setup", L"--source", L""}, L"", L"", "", noSource},
        {{L"setup", L"--update", L"E:\\C", L"--install-dir", L"F:\\C"},
         L"",
         L"F:\\C",
         "u",
         L"--update and --install-dir both name the install folder: give one of them."},
        // Values of other options are never read as options.
        {{L"setup", L"--update", L"--quiet", L"--github", L"--yes"}, L"", L"", "", L""},
        {{L"setup", L"/?"}, L"", L"", "h", L""},
        {{L"setup", L"-h"}, L"", L"", "h", L""},
        {{L"setup", L"x", L"--help"}, L"", L"", "h", L""},
        {{L"setup", L"--Quiet", L"-help", L"/h"}, L"", L"", "", L""},
    };
    for (const auto& c : cases) {
        WindowArgs w = ReadWindowArgs(c.args);
        std::wstring line;
        for (const auto& a : c.args) line += a + L" ";
        SCOPED_TRACE(Narrow(line));
        EXPECT_EQ(w.source, c.source);
        EXPECT_EQ(w.installDir, c.installDir);
        EXPECT_EQ(Answers(w), c.answers);
        EXPECT_EQ(w.error, c.error);
    }
}

TEST(WindowArgs, MirrorOptionsAreHonouredAmongUnknownOnes) {
    ApplyMirrors({L"setup", L"--bogus", L"--update", L"C:\\x", L"--github-api",
                  L"http://127.0.0.1:8080/", L"--nuget"});
    EXPECT_EQ(urls::GithubApi(), L"http://127.0.0.1:8080");
    EXPECT_EQ(urls::Nuget(), L"https://api.nuget.org");  // no value: left alone
    urls::SetGithubApi(L"https://api.github.com");
}

// The status line shows a long failure's first sentence; the box, all of it.
TEST(WindowTexts, StatusShowsTheFirstSentence) {
    const struct {
        const wchar_t* message;
        const wchar_t* status;
    } cases[] = {
        {L"The build failed. The log above (also in setup.log) says why; Help > Report a bug.",
         L"The build failed."},
        {L"Not enough disk space.", L"Not enough disk space."},
        {L"Couldn't create C:\\x: Access is denied.", L"Couldn't create C:\\x: Access is denied."},
        {L"Done.\n\nFreed 2 GB.", L"Done."},
        {L"v1.2.3 is out", L"v1.2.3 is out"},
        {L"Couldn't create C:\\Users\\J. Smith\\Games: Access is denied. Choose another folder.",
         L"Couldn't create C:\\Users\\J. Smith\\Games: Access is denied."},
        {L"/J. Smith/Games is busy. Try again.", L"/J. Smith/Games is busy."},  // a path first
        {L"构建失败。请重新运行安装程序。", L"构建失败。"},
    };
    for (const auto& c : cases) EXPECT_EQ(FirstSentence(c.message), c.status);
    // A one-line label draws a line break as a box.
    EXPECT_EQ(OneLine(L"Done. Start the game.\r\n\r\nInstalled in C:\\x.\n  launcher: y\t"),
              L"Done. Start the game. Installed in C:\\x. launcher: y");
}
// The paths of a command line, checked before anything is made.
TEST(WindowArgs, PathsThatCantBeUsedAreNamed) {
    TempDir dir;
    fs::create_directories(dir / "empty");
    fs::create_directories(dir / "installed" / "corvane-recomp");
    WriteBytes(dir / "disc.iso", "disc");
    const struct {
        fs::path source, update;
        std::wstring mistake;
    } cases[] = {
        {dir / "nowhere.iso", {}, PathText(dir / "nowhere.iso") + L" doesn't exist."},
        {dir / "disc.iso", {}, L""},
        {{}, {}, L""},
        {{}, dir / "nowhere", PathText(dir / "nowhere") + L" doesn't exist."},
        {{},
         dir / "empty",
         PathText(dir / "empty") + L" holds no install to update (no corvane-recomp in it)."},
        {{}, dir / "installed", L""},
        {dir / "nowhere.iso", dir / "installed",
         PathText(dir / "nowhere.iso") + L" doesn't exist."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(PathText(c.source) + L" / " + PathText(c.update)));
        EXPECT_EQ(PathMistake(c.source, c.update), c.mistake);
    }
    EXPECT_FALSE(Exists(dir / "nowhere"));
}

TEST(InstallDir, DefaultFollowsUpdateThenOwnInstallThenSystemDrive) {
    TempDir dir;
    fs::path own = dir / "own";
    fs::create_directories(own / "corvane-recomp" / ".git");
    fs::path plain = dir / "plain";
    fs::create_directories(plain / "corvane-recomp");  // a source folder without .git
    EXPECT_EQ(DefaultInstallDir(L"E:\\Corvane", own, L"C:"), L"E:\\Corvane");
    EXPECT_EQ(DefaultInstallDir(L"", own, L"C:"), PathText(own));
    EXPECT_EQ(DefaultInstallDir(L"", plain, L"D:"), L"D:\\Corvane-Recomp");
    EXPECT_EQ(DefaultInstallDir(L"", dir / "missing", L"C:"), L"C:\\Corvane-Recomp");
}

TEST(InstallDir, PickedFolderGetsCorvaneRecompOnce) {
    struct Case {
        fs::path picked, installDir;
    } cases[] = {
        {"/games", "/games/Corvane-Recomp"},
        {"/games/Corvane-Recomp", "/games/Corvane-Recomp"},
        {"/games/corvane-recomp", "/games/corvane-recomp"},  // whatever the case
        {"/games/CORVANE-RECOMP", "/games/CORVANE-RECOMP"},
        {"/games/Corvane-Recomp2", "/games/Corvane-Recomp2/Corvane-Recomp"},
        {"/", "/Corvane-Recomp"},
    };
    for (const auto& c : cases) EXPECT_EQ(InstallDirFor(c.picked), c.installDir) << c.picked;
}

// The rules for Windows' names leave a Linux path as it was typed.
TEST(InstallDir, LinuxPathsAreUsableAsTyped) {
    for (const wchar_t* typed : {L"/tmp/Corvane-Recomp", L"/", L"games/a/../b/./c"}) {
        std::wstring mistake;
        EXPECT_EQ(UsableInstallDir(typed, mistake), typed);
        EXPECT_EQ(mistake, L"") << Narrow(typed);
    }
    std::wstring mistake;  // a network share is named by its server and share
    EXPECT_EQ(UsableInstallDir(L"\\\\nowhere\\share\\inst", mistake), L"");
    EXPECT_EQ(mistake,
              L"\\\\nowhere\\share\\inst can't be reached: \\\\nowhere\\share\\ isn't there. "
              L"Connect the drive or network share, or choose a folder on this PC.");
}

TEST(InstallDir, NearestExistingWalksUpToAFolderThatIsThere) {
    TempDir dir;
    fs::create_directories(dir / "a");
    WriteBytes(dir / "file", "x");
    EXPECT_EQ(NearestExisting(dir / "a" / "b" / "c"), dir / "a");
    EXPECT_EQ(NearestExisting(dir / "a"), dir / "a");
    EXPECT_EQ(NearestExisting(dir / "file" / "x"), dir / "file");  // any kind of entry
    EXPECT_EQ(NearestExisting("/"), fs::path("/"));
    // A relative name that doesn't exist ends at its first element.
    EXPECT_EQ(NearestExisting("no-such-corvane-folder/x/y"), fs::path("no-such-corvane-folder"));
}

TEST(InstallDir, InstalledMeansTheGameIsExtracted) {
    TempDir dir;
    EXPECT_FALSE(Installed(dir.path()));
    fs::create_directories(dir / "corvane-recomp" / "game" / "extracted");
    EXPECT_FALSE(Installed(dir.path()));
    WriteBytes(dir / "corvane-recomp" / "game" / "extracted" / "default.xex", "");
    EXPECT_TRUE(Installed(dir.path()));
}

TEST(WindowTexts, SpaceNoteShowsMegabytesBelowOneGibibyte) {
    const std::wstring tail =
        L" free on that drive; about 12 GB is needed (6 GB once the disc is extracted).";
    struct Case {
        std::uint64_t bytes;
        std::wstring size;
    } cases[] = {
        {0, L"0 MB"},
        {(1ull << 20) / 2, L"0 MB"},  // printf rounds half to even
        {3 * (1ull << 20) / 2, L"2 MB"},
        {1073741823, L"1024 MB"},
        {1073741824, L"1.0 GB"},
        {250 * (1ull << 30), L"250.0 GB"},
        {(1ull << 30) * 12 + (1ull << 30) / 20 * 19, L"12.9 GB"},
        {~0ull, L"17179869184.0 GB"},
    };
    for (const auto& c : cases) EXPECT_EQ(SpaceNote(c.bytes), c.size + tail) << c.bytes;
}

TEST(WindowTexts, DeleteQuestionShowsTheImageBetweenBlankLines) {
    std::wstring q = DeleteQuestion(L"D:\\Dumps\\Corvane.iso");
    EXPECT_EQ(q,
              L"Delete the disc image when it's been extracted?\n\nD:\\Dumps\\Corvane.iso\n\nThe "
              L"game only needs the extracted files; you'd need the disc image again only to "
              L"install somewhere else.");
}

TEST(WindowTexts, EscAsksWhatStoppingKeepsAtEachStage) {
    // A first install's status lines, in order, and the stage after each.
    const std::pair<const wchar_t*, Stage> run[] = {
        {L"Checking the tools", Stage::kTools},
        {L"Downloading CMake: 12 MB of 38 MB, 8.1 MB/s, 4 s left", Stage::kTools},
        {L"Unpacking CMake", Stage::kTools},
        {L"Downloading the source code", Stage::kClone},
        {L"Building (the first build takes 10-30 minutes)", Stage::kBuild},
        {L"Extracting the game's files", Stage::kBuild},
        {L"Downloading assets", Stage::kBuild},  // the build script's own stage
        {L"Cancelling...", Stage::kBuild},
        {L"Finishing", Stage::kFinish},
        {L"Freeing up space", Stage::kFinish},
    };
    Stage stage = Stage::kStart;
    for (const auto& [status, after] : run) {
        stage = StageOf(status, stage);
        EXPECT_EQ(stage, after) << Narrow(status);
    }
    // Side by side, the tools and the source code are the second step a user sees.
    EXPECT_EQ(StageOf(L"Getting the build tools and the source code", Stage::kTools),
              Stage::kGetting);
    EXPECT_EQ(StageOf(L"Downloading CMake: 1 MB of 9 MB", Stage::kGetting), Stage::kGetting);
    EXPECT_EQ(StageOf(L"Updating the source code", Stage::kTools), Stage::kUpdate);
    EXPECT_EQ(StageOf(L"Downloading the source code", Stage::kUpdate), Stage::kUpdate);
    EXPECT_EQ(StopQuestion(Stage::kBuild),
              L"Stop the run? The build so far is kept and the next run continues from it.");
    for (Stage s : {Stage::kStart, Stage::kTools, Stage::kClone, Stage::kUpdate})
        EXPECT_EQ(StopQuestion(s).rfind(L"Stop the run? ", 0), 0u);
    EXPECT_EQ(StopQuestion(Stage::kFinish), L"");  // the run can't be stopped any more
    // The steps a first install shows count 1 to 4, none left out.
    std::wstring steps;
    stage = Stage::kStart;
    for (const wchar_t* status :
         {L"Checking the tools", L"Getting the build tools and the source code",
          L"Downloading CMake: 1 MB", L"Building (the first build takes 10-30 minutes)",
          L"Configuring", L"Finishing"}) {
        stage = StageOf(status, stage);
        steps += Staged(stage, L"x").substr(5, 1);
    }
    EXPECT_EQ(steps, L"122334");
    for (Stage s : {Stage::kClone, Stage::kUpdate}) EXPECT_EQ(Staged(s, L"x"), L"Step 2 of 4: x");
}

TEST(WindowTexts, NonEnglishMeansAnythingBeyondAscii) {
    EXPECT_FALSE(NonEnglish(L"C:\\Corvane-Recomp"));
    EXPECT_FALSE(NonEnglish(std::wstring(1, wchar_t(0x7f))));
    EXPECT_TRUE(NonEnglish(std::wstring(1, wchar_t(0x80))));
    EXPECT_TRUE(NonEnglish(L"C:\\Users\\Jos\u00e9\\Corvane"));
    EXPECT_TRUE(NonEnglish(L"C:\\\u30b2\u30fc\u30e0"));
}

}  // namespace
}  // namespace setup::test
