#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "inbox.h"
#include "os.h"
#include "programs.h"
#include "setup.h"
#include "temp.h"

namespace setup::test {
namespace {

using namespace std::chrono_literals;

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex.push_back(kDigits[c >> 4]);
        hex.push_back(kDigits[c & 15]);
    }
    return hex;
}

// Arguments of the emit helper: bytes to standard output or standard error.
std::string Out(const std::string& bytes) {
    return "o=" + Hex(bytes);
}
std::string Err(const std::string& bytes) {
    return "e=" + Hex(bytes);
}

std::wstring Emit(const std::string& args) {
    return Quote(Helper("emit")) + L" " + Widen(args);
}

// Each test logs into its own setup.log and collects what reaches the window.
class RunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        s_cancel = false;
        OpenLog(dir.path());
    }
    void TearDown() override {
        CloseLog();
        s_cancel = false;
    }

    int RunCollecting(const std::wstring& command, const fs::path& workingDir = {}) {
        return setup::Run(command, workingDir,
                          [this](const std::string& line) { lines.push_back(line); });
    }

    std::vector<std::wstring> Logged() { return Texts(inbox.Drain(), kMsgLog); }

    TempDir dir;
    Inbox inbox;
    std::vector<std::string> lines;
};

struct LineCase {
    const char* name;
    std::string args;
    std::vector<std::string> handed;  // what the handler gets
    std::vector<std::string> logged;  // what is logged after the command line
    int code;
};

TEST_F(RunTest, OutputBecomesLines) {
    const std::string longLine(10000, 'a');
    const std::string capped(kLineCap, 'a');
    const std::string overCap = "r=" + std::to_string(kLineCap * 3 + 5) + "*61";
    const LineCase cases[] = {
        {"CR LF and LF", Out("one\r\ntwo\n"), {"one", "two"}, {"one", "two"}, 0},
        {"lone CRs end lines",
         Out("10 of 30\r20 of 30\rdone\r"),
         {"10 of 30", "20 of 30", "done"},
         {"10 of 30", "20 of 30", "done"},
         0},
        {"only line ends", Out("\r\n\n\r\r\n"), {}, {}, 0},
        {"progress line", Out("  42% done\n"), {"  42% done"}, {}, 0},
        {"percent further in", Out("  [3/9] 33%\n"), {"  [3/9] 33%"}, {}, 0},
        {"one space is no progress", Out(" 42% done\n"), {" 42% done"}, {" 42% done"}, 0},
        {"no space is no progress", Out("42% done\n"), {"42% done"}, {"42% done"}, 0},
        {"indent without percent", Out("  compiling\n"), {"  compiling"}, {"  compiling"}, 0},
        {"last line without end", Out("first\nlast"), {"first", "last"}, {"first", "last"}, 0},
        {"last line is logged even as progress",
         Out("  99% almost"),
         {"  99% almost"},
         {"  99% almost"},
         0},
        {"no output, exit code 3", "x=3", {}, {}, 3},
        {"exit code with output", Out("a\n") + " x=7", {"a"}, {"a"}, 7},
        {"errors join the output",
         Out("out\n") + " " + Err("err\n") + " " + Out("again\n"),
         {"out", "err", "again"},
         {"out", "err", "again"},
         0},
        {"line split across reads", Out("ab") + " s=300 " + Out("cd\n"), {"abcd"}, {"abcd"}, 0},
        {"CR and LF in two reads",
         Out("a\r") + " s=300 " + Out("\nb\n"),
         {"a", "b"},
         {"a", "b"},
         0},
        {"line longer than a read",
         "r=10000*61 " + Out("\nz\n"),
         {longLine, "z"},
         {longLine, "z"},
         0},
        {"line beyond the cap is cut",
         overCap + " " + Out("\nz\n"),
         {capped, "z"},
         {capped, "z"},
         0},
        {"last line beyond the cap", overCap, {capped}, {capped}, 0},
        {"progress between lines of one read",
         Out("a\n  5% x\nb\r\nc\n"),
         {"a", "  5% x", "b", "c"},
         {"a", "b", "c"},
         0},
        {"not UTF-8", Out("caf\xE9\n"), {"caf\xE9"}, {"caf\xE9"}, 0},
        {"UTF-8 and not in one read",
         Out("\xC3\x9C\ncaf\xE9\n"),
         {"\xC3\x9C", "caf\xE9"},
         {"\xC3\x9C", "caf\xE9"},
         0},
        {"UTF-8", Out("\xC3\x9C\n"), {"\xC3\x9C"}, {"\xC3\x9C"}, 0},
        {"zero byte",
         Out(std::string("a\0b\n", 4)),
         {std::string("a\0b", 3)},
         {std::string("a\0b", 3)},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring command = Emit(c.args);
        std::vector<std::wstring> expected{L"$ " + command};
        for (const auto& line : c.logged) expected.push_back(Widen(line));

        lines.clear();
        EXPECT_EQ(RunCollecting(command), c.code);
        EXPECT_EQ(lines, c.handed);
        EXPECT_EQ(Logged(), expected);
        // Without a handler the lines still reach the log.
        EXPECT_EQ(setup::Run(command, {}, nullptr), c.code);
        EXPECT_EQ(Logged(), expected);
    }
}

TEST_F(RunTest, FileLogHoldsTheSameLines) {
    std::wstring command = Emit(Out("one\r\n  5% skipped\ntwo\n  6% skipped\nthree\n"));
    RunCollecting(command);
    CloseLog();
    EXPECT_EQ(LogLines(dir / "setup.log"),
              (std::vector<std::string>{Narrow(L"$ " + command), "one", "two", "three"}));
}

TEST_F(RunTest, FileLogHoldsALineBeyondTheCapWhole) {
    std::size_t size = kLineCap * 3 + 5;
    std::wstring command = Emit("r=" + std::to_string(size) + "*62 " + Out("\nz\n"));
    RunCollecting(command);
    CloseLog();
    EXPECT_EQ(LogLines(dir / "setup.log"),
              (std::vector<std::string>{Narrow(L"$ " + command), std::string(size, 'b'), "z"}));
}

TEST_F(RunTest, LinesAFullQueueRefusedReachTheWindowLater) {
    // A receiver that has fallen far behind: its queue is full.
    int filled = 0;
    while (filled < 20000 && os::Post(kMsgProgress, filled, 0)) ++filled;
    if (filled == 20000) GTEST_SKIP() << "this receiver's queue has no depth limit";
    std::wstring command = Emit(Out("one\n") + " s=300 " + Out("two\nthree"));
    std::atomic<bool> ran{false};
    std::thread worker([&] {
        RunCollecting(command);
        ran = true;
    });
    std::this_thread::sleep_for(200ms);
    std::vector<Item> items;
    while (!ran.load()) {
        auto more = inbox.Drain();
        items.insert(items.end(), more.begin(), more.end());
        std::this_thread::sleep_for(10ms);
    }
    worker.join();
    auto more = inbox.Drain();
    items.insert(items.end(), more.begin(), more.end());
    // Only the command line, logged alone while the queue was full, is gone.
    EXPECT_EQ(Texts(items, kMsgLog), (std::vector<std::wstring>{L"one", L"two", L"three"}));
}

// While the receiver hasn't taken the last block, the lines that follow are
// gathered into the next one: a flood the receiver takes only at its end
// costs a few messages, not one a read.
TEST_F(RunTest, LinesWaitingForTheReceiverAreGathered) {
    int before = LiveTexts();
    RunCollecting(Emit("w=20000*" + Hex("line\n")));
    int posted = LiveTexts() - before;  // none taken yet
    EXPECT_LE(posted, 5);
    EXPECT_EQ(Texts(inbox.Drain(), kMsgLog).size(), 20001u);  // the command line too
}

// The pipe holds a megabyte: a child that prints 900 KB while the reader is
// busy (here: the handler of its first line) finishes without waiting.
TEST_F(RunTest, ThePipeHoldsAMegabyte) {
    fs::path marker = dir / "printed";
    bool finished = false;
    setup::Run(Emit(Out("first\n") + " r=14000*" + Hex(std::string(63, 'x') + "\n") +
                    " f=" + Narrow(PathText(marker))),
               {}, [&](const std::string&) {
                   for (int i = 0; i < 500 && !finished; ++i) {
                       std::this_thread::sleep_for(10ms);
                       finished = Exists(marker);
                   }
               });
    EXPECT_TRUE(finished);
}

TEST_F(RunTest, ProgramThatCannotStart) {
    const std::wstring commands[] = {
        Quote(dir / "missing-program") + L" --version",
        L"corvane-no-such-program --version",
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(Narrow(command));
        EXPECT_EQ(FailureOf([&] { RunCollecting(command); }), L"Couldn't start: " + command);
        EXPECT_EQ(Logged(), std::vector<std::wstring>{L"$ " + command});
    }
}

TEST_F(RunTest, MissingWorkingFolderCannotStart) {
    std::wstring command = Emit("x=0");
    EXPECT_EQ(FailureOf([&] { RunCollecting(command, dir / "missing"); }),
              L"Couldn't start: " + command);
}

TEST_F(RunTest, ChildRunsInTheWorkingFolder) {
    fs::create_directories(dir / "work");
    RunCollecting(Emit("cwd"), dir / "work");
    RunCollecting(Emit("cwd"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(fs::equivalent(lines[0], dir / "work"));
    EXPECT_TRUE(fs::equivalent(lines[1], fs::current_path()));
}

TEST_F(RunTest, ProgramIsFoundOnPath) {
    PathFirst path(Helper("emit").parent_path());
    EXPECT_EQ(RunCollecting(L"emit " + Widen(Out("found\n")) + L" x=4"), 4);
    EXPECT_EQ(lines, std::vector<std::string>{"found"});
}

TEST_F(RunTest, ArgumentsAreSplitAtSpacesOutsideQuotes) {
    // A program path with a space in it, quoted as the stages quote paths.
    fs::path program = dir / "with space" / ProgramFile("emit");
    fs::create_directories(program.parent_path());
    fs::copy_file(Helper("emit"), program);
    RunCollecting(Quote(program) + L" args  \"a b\"\tc \"\" d\"e f\"g");
    EXPECT_EQ(lines, (std::vector<std::string>{"[args]", "[a b]", "[c]", "[]", "[de fg]"}));
}

TEST(Quote, EscapesAsWindowsProgramsSplit) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"C:\\Games\\Install", L"\"C:\\Games\\Install\""},
        {L"E:\\", L"\"E:\\\\\""},
        {L"D:\\Games\\Corvane\\", L"\"D:\\Games\\Corvane\\\\\""},
        {L"/home/someone/Corvane Recomp", L"\"/home/someone/Corvane Recomp\""},
        {L"odd\"name", L"\"odd\\\"name\""},
        {L"a\\\"b", L"\"a\\\\\\\"b\""},
    };
    for (const auto& [path, quoted] : cases) EXPECT_EQ(Quote(ToPath(path)), quoted) << Narrow(path);
}

TEST_F(RunTest, QuotedPathsReachTheChildWhole) {
    const std::wstring paths[] = {
        L"E:\\",
        L"D:\\Games\\Corvane\\",
        L"\\\\server\\share\\",
        L"/tmp/with space/x",
        L"fq\"x/inst",
        L"ends in a quote\"",
        L"a\\\"b\\",
        L"-leading dash",
        L"Sp\u00e9l \u00dcber \u65e5\u672c",
        L"",
    };
    for (const auto& path : paths) {
        lines.clear();
        RunCollecting(Quote(Helper("emit")) + L" args " + Quote(ToPath(path)));
        EXPECT_EQ(lines, (std::vector<std::string>{"[args]", "[" + Narrow(path) + "]"}))
            << Narrow(path);
    }
}

// git stood in for by the emit helper, which ignores "-C <folder>": the same
// on both platforms (Windows tests can't start the real git).
class GitOutputTest : public RunTest {
  protected:
    void SetUp() override {
        RunTest::SetUp();
        fs::create_directories(bin);
        fs::copy_file(Helper("emit"), bin / ProgramFile("git"));
        fs::create_directories(folder);
    }
    fs::path bin = dir / "bin";
    fs::path folder = dir / "repo";
};

TEST_F(GitOutputTest, KeepsTheFirstLineAndTellsSuccess) {
    struct Case {
        const char* name;
        std::string args;
        bool ok;
        std::string out;
    };
    const Case cases[] = {
        {"error message", Err("\r\nfatal: not a git repository\nhint\n") + " x=128", false,
         "fatal: not a git repository"},
        {"answer", Out("main\nsecond\n"), true, "main"},
        {"nothing printed", "", true, ""},
        {"failure without output", "x=1", false, ""},
    };
    PathFirst path(bin);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out = "from before";
        EXPECT_EQ(GitOutput(folder, Widen(c.args), out), c.ok);
        EXPECT_EQ(out, c.out);
    }
}

TEST_F(GitOutputTest, RunsGitInTheFolder) {
    PathFirst path(bin);
    std::string out;
    EXPECT_TRUE(GitOutput(folder, L"cwd", out));
    EXPECT_TRUE(fs::equivalent(out, folder));
    EXPECT_TRUE(GitOutput(folder, L"args", out));
    EXPECT_EQ(out, "[-c]");
    auto logged = Logged();
    ASSERT_GE(logged.size(), 8u);
    EXPECT_EQ(logged.back(), L"[args]");
    EXPECT_EQ(logged[logged.size() - 8],
              L"$ " + GitCommand(folder) + L"-C " + Quote(folder) + L" args");
    EXPECT_EQ(logged[logged.size() - 6], L"[core.longpaths=true]");
    EXPECT_EQ(logged[logged.size() - 4], L"[safe.directory=" + folder.generic_wstring() + L"]");
    EXPECT_EQ(logged[logged.size() - 2], L"[" + PathText(folder) + L"]");
}

TEST_F(RunTest, CancelNoticedAfterTheChildEndsWhateverItsCode) {
    auto cancel = [](const std::string&) { s_cancel = true; };
    EXPECT_EQ(FailureOf([&] { setup::Run(Emit(Out("a\n") + " x=0"), {}, cancel); }), L"Cancelled.");
}

// The three-level tree of the tree helper, watched through its pid files.
class TreeTest : public RunTest {
  protected:
    std::wstring Tree() { return Quote(Helper("tree")) + L" " + Quote(dir.path()) + L" 1"; }

    bool AppearsWithin(const fs::path& file, std::chrono::milliseconds limit) {
        for (auto end = std::chrono::steady_clock::now() + limit;
             std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(10ms))
            if (Exists(file)) return true;
        return false;
    }

    std::vector<unsigned long> Pids() {
        std::vector<unsigned long> pids;
        for (int level = 1; level <= 3; ++level) {
            fs::path file = dir / ("pid-" + std::to_string(level));
            if (Exists(file)) pids.push_back(std::stoul(ReadBytes(file)));
        }
        return pids;
    }

    // Whether every process of the tree that got to write its id has ended.
    bool GoneWithin(std::chrono::milliseconds limit) {
        auto end = std::chrono::steady_clock::now() + limit;
        for (;; std::this_thread::sleep_for(10ms)) {
            bool any = false;
            for (unsigned long pid : Pids()) any = any || Alive(pid);
            if (!any) return true;
            if (std::chrono::steady_clock::now() >= end) return false;
        }
    }

    int Survivors() {
        int count = 0;
        for (int level = 1; level <= 3; ++level)
            count += Exists(dir / ("survived-" + std::to_string(level)));
        return count;
    }
};

TEST_F(TreeTest, CancelKillsTheWholeTree) {
    std::wstring message;
    std::thread worker([&] { message = FailureOf([&] { RunCollecting(Tree()); }); });
    bool started = AppearsWithin(dir / "pid-3", 20s);
    Cancel();
    auto cancelled = std::chrono::steady_clock::now();
    worker.join();
    ASSERT_TRUE(started);
    EXPECT_EQ(Pids().size(), 3u);
    auto left = 1s - (std::chrono::steady_clock::now() - cancelled);
    EXPECT_TRUE(GoneWithin(std::chrono::duration_cast<std::chrono::milliseconds>(left)));
    EXPECT_EQ(message, L"Cancelled.");
    EXPECT_EQ(Survivors(), 0);
}

// The command ended and left what it started holding its output (a build's
// daemon): Run ends about a second later all the same, with the command's
// code. On Linux the keeper has ended what the command left.
TEST_F(TreeTest, WhatTheCommandLeftHoldsNeitherTheRunNorOutlivesIt) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunCollecting(Tree() + L" leave"), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);  // the tree sleeps 20 s
    // The levels print side by side, in no set order.
    EXPECT_NE(std::find(lines.begin(), lines.end(), "level 1"), lines.end());
#ifdef _WIN32
    os::EndChildren();
#endif
    EXPECT_TRUE(GoneWithin(1s));
    EXPECT_EQ(Survivors(), 0);
}

TEST_F(TreeTest, ChildStartedAfterCancelIsEndedAtOnce) {
    // The cancel came while the child was being started: it found no child to end.
    s_cancel = true;
    EXPECT_EQ(FailureOf([&] { RunCollecting(Tree()); }), L"Cancelled.");
    EXPECT_TRUE(GoneWithin(1s));
    EXPECT_EQ(Survivors(), 0);
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(Logged(), std::vector<std::wstring>{L"$ " + Tree()});
}

TEST_F(TreeTest, HandlerThatThrowsEndsTheTree) {
    auto throws = [](const std::string&) { throw std::runtime_error("handler broke"); };
    EXPECT_THROW(setup::Run(Tree(), {}, throws), std::runtime_error);
    EXPECT_TRUE(GoneWithin(1s));
    EXPECT_EQ(Survivors(), 0);
}

}  // namespace
}  // namespace setup::test
