#include <gtest/gtest.h>

#include "build.h"
#include "os.h"
#include "inbox.h"
#include "temp.h"

namespace setup::test {
namespace {

// A stand-in build script: records its arguments, prints the three kinds of
// line, and exits as the test says.
std::string Script(int exitCode, bool launcher) {
    std::string s =
        "import os, sys\n"
        "open('args.txt', 'w').write('|'.join(sys.argv[1:]))\n"
        "print('==> Configuring')\n"
        "print('[1/4] Compiling a.cpp')\n"
        "print('  42% extracted')\n"
        "print('[2/4] Compiling b.cpp', flush=True)\n";
    if (launcher)
        s += "os.makedirs('build/runtime', exist_ok=True)\n"
             "open('build/runtime/CorvaneLauncher.exe', 'w').write('launcher')\n";
    s += "sys.exit(" + std::to_string(exitCode) + ")\n";
    return s;
}

class BuildTest : public ::testing::Test {
  protected:
    void Write(int exitCode, bool launcher) {
        WriteBytes(source / "tools/build.py", Script(exitCode, launcher));
    }
    std::vector<Item> Stage(bool extracted) {
        Inbox inbox;
        error = FailureOf([&] { Build(source, image, extracted); });
        return inbox.Drain();
    }

    TempDir dir;
    fs::path source = dir / "corvane-recomp";
    fs::path image = dir / "my games/disc.iso";
    std::wstring error;
};

TEST_F(BuildTest, ASuccessfulBuildRecordsTheLauncher) {
    Write(0, true);
    s_installed.clear();
    auto items = Stage(false);
    EXPECT_EQ(error, L"");
    EXPECT_EQ(s_installed, source / "build/runtime/CorvaneLauncher.exe");
    EXPECT_EQ(ReadBytes(source / "args.txt"), "--iso|" + image.string());

    auto statuses = Texts(items, kMsgStatus);
    EXPECT_EQ(statuses, (std::vector<std::wstring>{
                            L"Building (the first build takes 10-30 minutes)", L"Configuring"}));
    std::vector<std::intptr_t> progress;
    for (const auto& i : items)
        if (i.msg == kMsgProgress) progress.push_back(i.wParam);
    EXPECT_EQ(progress, (std::vector<std::intptr_t>{-1, 25, 42, 50}));

    auto lines = Texts(items, kMsgLog);
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        L"$ python3 -u tools/build.py --iso \"" + PathText(image) + L"\""),
              lines.end());
    // Step lines are logged; indented percentage lines only move the bar.
    EXPECT_NE(std::find(lines.begin(), lines.end(), L"[1/4] Compiling a.cpp"), lines.end());
    EXPECT_EQ(std::find(lines.begin(), lines.end(), L"  42% extracted"), lines.end());
}

TEST_F(BuildTest, AnExtractedGameGetsNoDiscArgument) {
    Write(0, true);
    WriteBytes(source / "build/obj/a.obj", "object");
    auto items = Stage(true);
    auto lines = Texts(items, kMsgLog);
    EXPECT_EQ(error, L"");
    // An update: the first build's time isn't promised.
    EXPECT_EQ(Texts(items, kMsgStatus).front(),
              L"Building (an update rebuilds only what changed: usually minutes)");
    EXPECT_EQ(ReadBytes(source / "args.txt"), "");
    EXPECT_NE(std::find(lines.begin(), lines.end(), L"$ python3 -u tools/build.py"), lines.end());
}

// The status promises minutes only where the last build's leftovers are
// there to rebuild from.
TEST_F(BuildTest, TheStatusFollowsTheLeftovers) {
    const std::wstring first = L"Building (the first build takes 10-30 minutes)";
    const std::wstring update = L"Building (an update rebuilds only what changed: usually minutes)";
    struct Case {
        const char* name;
        bool extracted;
        const char* leftover;  // under the source folder, or null
        std::wstring status;
    } cases[] = {
        {"first build", false, nullptr, first},
        {"leftovers freed, launcher kept", true, "build/runtime/CorvaneLauncher.exe", first},
        {"object files", true, "build/obj/a.obj", update},
        {"generated code", true, "generated/ppc/a.cpp", update},
    };
    for (const Case& c : cases) {
        fs::remove_all(source / "build");
        fs::remove_all(source / "generated");
        Write(0, true);
        if (c.leftover) WriteBytes(source / c.leftover, "x");
        auto items = Stage(c.extracted);
        EXPECT_EQ(Texts(items, kMsgStatus).front(), c.status) << c.name;
    }
}

TEST_F(BuildTest, AFailedBuildSaysSoAndLooksForNoLauncher) {
    Write(1, false);
    s_installed = "/earlier";
    auto items = Stage(false);
    EXPECT_EQ(error,
              L"The build failed. Run Setup again; if it fails again, report it at "
              L"https://github.com/tallowfen/corvane-recomp/issues with setup.log attached.");
    EXPECT_EQ(s_installed, fs::path("/earlier"));
    auto lines = Texts(items, kMsgLog);
    EXPECT_NE(std::find(lines.begin(), lines.end(), L"The build script's exit code: 1"),
              lines.end());
}

// Killed from outside, the build's output names no cause: the signal is it.
// A script that exits with 137 itself was killed by nothing. An earlier
// build's launcher offers its Help menu.
TEST_F(BuildTest, ABuildKilledByASignalSaysSo) {
    WriteBytes(source / "build/runtime/CorvaneLauncher.exe", "earlier");
    const struct {
        const char* script;
        std::wstring cause;
    } cases[] = {
        {"import os\nos.kill(os.getpid(), 9)\n", L"The build was stopped by signal 9 (killed)."},
        {"print('error: x')\nexit(137)\n", L"error: x"}};
    for (const auto& c : cases) {
        WriteBytes(source / "tools/build.py", c.script);
        Failed failed;
        try {
            Build(source, image, false);
        } catch (const Failed& f) {
            failed = f;
        }
        EXPECT_EQ(failed.cause, c.cause);
        EXPECT_NE(failed.message.find(L"with Help > Report a bug in the launcher, or at https://"),
                  std::wstring::npos);
    }
}

// A build that runs out of memory above `fits` compiles at once goes on
// with half, down to one, and the bar never goes back.
TEST_F(BuildTest, OutOfMemoryContinuesWithFewerCompiles) {
    const std::wstring going = L" compiles at once; continuing with ";
    const struct {
        const wchar_t* start;
        int fits;
        std::wstring last, error;
    } cases[] = {{L"8", 2, L"4" + going + L"2 (what was built is kept).", L""},
                 {L"2", 0, L"2" + going + L"1 (what was built is kept).",
                  L"The build ran out of memory, even when asked to compile one file at a time. "
                  L"Close other programs and run Setup again; what was built is kept."}};
    for (const auto& c : cases) {
        os::SetEnv(L"CMAKE_BUILD_PARALLEL_LEVEL", c.start);
        WriteBytes(source / "tools/build.py",
                   "import os, sys, time\nprint('[1/2] a')\ntime.sleep(0.3)\nif int(os.environ["
                   "'CMAKE_BUILD_PARALLEL_LEVEL']) > " +
                       std::to_string(c.fits) +
                       ": sys.exit('LLVM ERROR: out of memory')\nos.makedirs('build/runtime', "
                       "exist_ok=True)\nopen('build/runtime/CorvaneLauncher.exe', 'w')\n");
        auto items = Stage(true);
        EXPECT_EQ(Texts(items, kMsgStatus).back(), L"The build ran out of memory with " + c.last);
        EXPECT_EQ(error, c.error);
        std::vector<std::intptr_t> bar;
        for (const auto& i : items)
            if (i.msg == kMsgProgress) bar.push_back(i.wParam);
        EXPECT_TRUE(std::is_sorted(bar.begin(), bar.end()));
    }
    EXPECT_EQ(os::GetEnv(L"CMAKE_BUILD_PARALLEL_LEVEL"), L"2");  // the user's, put back
    os::UnsetEnv(L"CMAKE_BUILD_PARALLEL_LEVEL");
}

TEST_F(BuildTest, AnAppControlRefusalIsTheCause) {
    WriteBytes(source / "tools/build.py", "print('[WinError 4551] x')\nprint('error: y')\nexit(1)");
    Inbox inbox;
    try {
        Build(source, image, false);
    } catch (const Failed& f) {
        error = f.cause;
    }
    EXPECT_TRUE(error.ends_with(L"app control) blocked a program of the build: [WinError 4551] x"));
}

TEST_F(BuildTest, ABuildWithoutTheLauncherFails) {
    Write(0, false);
    Stage(false);
    EXPECT_EQ(error, L"The build finished but CorvaneLauncher.exe isn't there.");
    EXPECT_EQ(s_installed, source / "build/runtime/CorvaneLauncher.exe");
}

}  // namespace
}  // namespace setup::test
