#include <gtest/gtest.h>

#include "build.h"
#include "compiles.h"
#include "last_error.h"
#include "memory_sign.h"
#include "step_clock.h"
#include "tokens.h"
#include "inbox.h"
#include "stack.h"

namespace setup::test {
namespace {

struct LineCase {
    std::string line;
    std::vector<Item> posted;
};

Item Progress(int p) {
    return {kMsgProgress, p, {}};
}
Item StatusText(const wchar_t* t) {
    return {kMsgStatus, 0, t};
}

TEST(BuildOutput, TurnsLinesIntoStatusAndProgress) {
    const LineCase cases[] = {
        {"==> Configuring", {StatusText(L"Configuring"), Progress(-1)}},
        {"==>Configuring", {}},
        {"==> ", {StatusText(L""), Progress(-1)}},
        {"==> Done", {StatusText(L"Done"), Progress(100)}},
        {"==> Done soon", {StatusText(L"Done soon"), Progress(-1)}},
        {"[5/10] Linking", {Progress(50)}},
        {"[1/3] a", {Progress(33)}},
        {"[2/3] a", {Progress(66)}},
        {"[7/3] Linking", {Progress(233)}},
        {"[0/0] Linking", {}},
        {"  [5/10] Linking", {}},
        {"   42%", {Progress(42)}},
        {" 42%", {Progress(42)}},
        {"42% done", {Progress(42)}},
        {"x 42%", {}},
        {"[99999999999/10] big", {}},
        {"[5/99999999999] big", {}},
        {"[30000000/30000000] overflowing count", {}},
        {"99999999999%", {}},
        {"2147483647%", {Progress(2147483647)}},
        {std::string(254, ' ') + "5%", {Progress(5)}},  // "%" is the window's last character
        {std::string(255, ' ') + "5%", {}},
        {"==> Caf\xC3\xA9", {StatusText(L"Caf\u00E9"), Progress(-1)}},
    };
    for (const auto& c : cases) {
        Inbox inbox;
        BuildOutput output;
        output(c.line);
        auto items = inbox.Drain();
        ASSERT_EQ(items.size(), c.posted.size()) << c.line;
        for (std::size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(items[i].msg, c.posted[i].msg) << c.line;
            EXPECT_EQ(items[i].wParam, c.posted[i].wParam) << c.line;
            EXPECT_EQ(items[i].text, c.posted[i].text) << c.line;
        }
    }
}

TEST(BuildOutput, PostsAFigureOnlyWhenItDiffersFromTheLastPosted) {
    Inbox inbox;
    BuildOutput output;
    for (const char* line :
         {"[1/4] a", "[1/4] b", "  25% c", "[2/4] d", "  50%", "==> Linking", "[2/4] e", "[2/4] f"})
        output(line);
    std::vector<std::intptr_t> progress;
    for (const auto& item : inbox.Drain())
        if (item.msg == kMsgProgress) progress.push_back(item.wParam);
    EXPECT_EQ(progress, (std::vector<std::intptr_t>{25, 50, -1, 50}));
}

TEST(BuildOutput, AHugeLineNeitherCrashesNorMatchesPastItsStart) {
    std::vector<std::wstring> statuses;
    std::vector<std::intptr_t> progress;
    OnStack(1 << 20, [&] {
        Inbox inbox;
        BuildOutput output;
        output("[1/2]" + std::string(1 << 20, ' '));
        output(std::string(1 << 20, ' ') + "42%");
        output(std::string(1 << 20, '7'));
        output("==> " + std::string(1 << 20, 's'));
        for (const auto& item : inbox.Drain()) {
            if (item.msg == kMsgProgress) progress.push_back(item.wParam);
            if (item.msg == kMsgStatus) statuses.push_back(item.text);
        }
    });
    EXPECT_EQ(progress, (std::vector<std::intptr_t>{50, -1}));
    ASSERT_EQ(statuses.size(), 1u);
    EXPECT_EQ(statuses[0].size(), 1u << 20);
}

// The cause a failed program's output gives: its own error, never the
// closing summary of the tool that ran it. The last of each row is the cause.
TEST(BuildOutput, TheCauseIsTheFirstLineThatReadsLikeAnError) {
    const std::vector<std::vector<std::string>> cases = {
        {"[3/40] a.obj", "FAILED: a.obj", "clang++ -c a.cpp", "a.cpp:12:3: error: 'r3'",
         "b.cpp:9:1: error: 'r4'", "2 errors generated.",
         "ninja: build stopped: subcommand failed.", "a.cpp:12:3: error: 'r3'"},
        {"FAILED: a.obj", "ninja: build stopped: subcommand failed.", "FAILED: a.obj"},
        {"tar: x: Can't create 'x'", "tar: Error exit delayed from previous errors.",
         "tar: x: Can't create 'x'"},
        {"Traceback (most recent call last):", "  File \"build.py\", line 3", "KeyError: 'x'",
         "KeyError: 'x'"},
        {"error: RPC failed; curl 56", "fatal: early EOF", "error: RPC failed; curl 56"},
        {"LINK : fatal error LNK1104: game.exe", "done", "LINK : fatal error LNK1104: game.exe"},
        {"configuring", "ninja: build stopped: subcommand failed.", "configuring"},
        // A warning quoting the source: the quote isn't the error.
        {"a.cpp:40:5: warning: format", "   40 |     std::fprintf(stderr, \"error: %d\\n\", c);",
         "      |          ^~~~~~~~~~", "src/ppc/func_0020.cpp:12:3: error: 'r3'",
         "src/ppc/func_0020.cpp:12:3: error: 'r3'"},
        {"Traceback (most recent call last):", "  File \"build.py\", line 3",
         "[6/40] Building CXX object src/f.cpp.o", "  File \"build.py\", line 9", "OSError: disk",
         "OSError: disk"},
        {"ERROR:root:no disc", "done", "ERROR:root:no disc"},
        // Never the cause: warnings, a traceback caught and printed, decoration.
        {"a.cpp:3:2: warning: TODO: error handling", "WARNING:build:mirror 1: error 503",
         "Traceback (most recent call last):", "  File \"b.py\", line 3",
         "ConnectionResetError: reset", "b.cpp:9:1: error: 'r4'", "b.cpp:9:1: error: 'r4'"},
        {"Traceback (most recent call last):", "  File \"b.py\", line 3", "OSError: reset",
         "FAILED: a.obj", "FAILED: a.obj"},
        {"FAILED: a.obj", "\x1b[1ma.cpp:12:3: \x1b[0m\x1b[0;1;31merror: \x1b[0m'r3'\x1b[0m",
         "a.cpp:12:3: error: 'r3'"},
        {"    | ValueError: x", "    +------------------------------------", "    | ValueError: x"},
        {"   40 |   x = a ~~ b;", "      |   ~~   ^~~~", "   40 |   x = a ~~ b;"},
        {"[4/5] Building a", "[5/5] Building b", "ninja: build stopped: subcommand failed.",
         "ninja: build stopped: subcommand failed."},
        {"a.cpp:3:2: warning: unused", "\xe2\x94\x80\xe2\x94\x80", ""},
    };
    for (const auto& lines : cases) {
        LastError cause;
        for (std::size_t i = 0; i + 1 < lines.size(); ++i) cause(lines[i]);
        EXPECT_EQ(cause.Cause(), Widen(lines.back())) << lines.front();
    }
}

// Each tool's way of saying it ran out of memory, as it prints it; then
// lines that only look alike.
TEST(BuildOutput, MemorySignsAreTheToolsOwnWords) {
    for (const char* line :
         {"LLVM ERROR: out of memory", "Allocation failed", "what():  std::bad_alloc",
          "cc1plus: out of memory allocating 65536 bytes", "virtual memory exhausted",
          "a.cpp(1): fatal error C1060: compiler is out of heap space",
          "LINK : fatal error LNK1102: out of memory", "error 1455", "MemoryError",
          "OSError: [WinError 1455] The paging file is too small for this operation to complete",
          "Not enough memory resources are available to process this command.", "Killed",
          "clang++: error: unable to execute command: Killed",
          "g++: fatal error: Killed signal terminated program cc1plus"})
        EXPECT_TRUE(MemorySign(line)) << line;
    for (const char* line :
         {"[12/40] Compiling tests/out of memory.cpp", "Killed 3 stale ones",
          "   12 |     if (!p) fatal(\"out of memory\");", "      |  bad_alloc",
          "a.cpp:3:10: error: no member named 'bad_alloc' in namespace 'std'",
          "a.cpp:9:1: warning: 'out of memory' is repeated", "    raise MemoryError(\"x\")",
          "MemoryErrors.cpp: done", "a.cpp(4): error C2039: 'bad_alloc': is not a member"})
        EXPECT_FALSE(MemorySign(line)) << line;
}

// The compiles allowed against a reading of the memory; rows in order, each
// after the compiles ended before it. MB: compiles, used, largest, available.
TEST(BuildOutput, TokensFollowTheMemory) {
    constexpr std::uint64_t MB = 1 << 20;
    const struct {
        int compiles;
        std::uint64_t used, largest, available, ended;
        int allowed;
    } rows[] = {
        {0, 0, 0, 1100, 0, 2},        // the first guess: two of 512 MB
        {0, 0, 0, 3000, 0, 5},        // more memory, more
        {0, 0, 0, 90000, 0, 6},       // never above the build tool's default
        {0, 0, 0, 400, 0, 1},         // never below one
        {2, 600, 300, 400, 0, 1},     // they may grow to 1 GB: tokens back
        {1, 100, 100, 1000, 520, 2},  // one of 520 MB seen: two fit
        {1, 100, 100, 500, 0, 1},     // memory fell: taken back
        {3, 300, 100, 3100, 0, 6},    // small ones, lots left
        {1, 800, 800, 250, 0, 1},     // a large unit past the usual: nothing beside it
    };
    Tokens tokens(6);
    for (const auto& r : rows) {
        tokens.Ended(r.ended * MB, 5);
        tokens.Ended(20 * MB, 2);  // a check of the compiler's, gone too soon to say
        EXPECT_EQ(tokens.Allowed({r.compiles, r.used * MB, r.largest * MB, r.available * MB}),
                  r.allowed)
            << r.compiles << " " << r.available;
    }
    tokens.Fewer(6, 900 * MB);  // out of memory at 6: never more than 3, 900 MB each
    EXPECT_EQ(tokens.Allowed({0, 0, 0, 90000 * MB}), 3);
    EXPECT_EQ(tokens.Allowed({0, 0, 0, 1900 * MB}), 2);
}

TEST(BuildOutput, CompilesAreCountedByProgramAndTheUsersCountChecked) {
    std::vector<Leaf> leaves;
    for (const char* name : {"tee", "clang++", "python3", "clang-cl.exe", "cc1plus", "ld.lld",
                             "x86_64-w64-mingw32-g++", "clang++-14", "lld-link.exe", "cmake",
                             "ninja", "clangd", "link.exe", "sh", "gcc-12.2"})
        leaves.push_back({0, name, 0});
    EXPECT_EQ(CompileCount(leaves), 9);
    const std::pair<const wchar_t*, int> counts[] = {{L"4", 4},  {L"abc", 0}, {L"0", 0},
                                                     {L"-1", 0}, {L"", 0},    {L"99999999999", 0},
                                                     {L"4 ", 0}, {L"16", 16}};
    for (const auto& [text, count] : counts) EXPECT_EQ(UserCount(text), count) << text;
    for (const char* version : {"1.13.0", "1.13.2", "1.14.0.git", "2.0"})
        EXPECT_TRUE(JobserverNinja(version)) << version;
    for (const char* version : {"1.11.1", "1.12.1", "", "v1.13", "1."})
        EXPECT_FALSE(JobserverNinja(version)) << version;
    // Kills: Setup's own group's count; the system's only when the script was killed.
    EXPECT_EQ(BuildKills({3, true}, {5, true}, false, 1), 2u);
    EXPECT_EQ(BuildKills({3, false}, {5, false}, false, 1), 0u);  // another program's
    EXPECT_EQ(BuildKills({3, false}, {4, false}, true, 137), 1u);
}

// The count without a jobserver comes from the memory: 2 GB a compile.
TEST(BuildOutput, TheStartCountIsWhatTheMemoryHolds) {
    constexpr std::uint64_t GB = std::uint64_t{1} << 30;
    const struct {
        int user;
        unsigned cores;
        std::uint64_t available;
        int count;
    } rows[] = {{0, 16, 16 * GB, 8}, {0, 16, 9 * GB, 4}, {0, 4, GB, 1},
                {0, 2, 0, 0},        {5, 2, GB, 5},      {0, 8, 20 * GB, 0}};
    for (const auto& r : rows) {
        std::wstring why;
        EXPECT_EQ(StartCount(r.user, r.cores, {r.available, 0}, why), r.count) << why;
    }
}

// Rows: seconds since the first step, the step, the total, the text.
TEST(BuildOutput, TheStepsSayTheTimeLeftOnceThePaceIsKnown) {
    const struct {
        int at, count, total;
        const wchar_t* text;
    } rows[] = {{0, 1, 40, L"step 1 of 40"},
                {10, 5, 40, L"step 5 of 40"},                    // too soon to tell
                {30, 7, 40, L"step 7 of 40, about 3 min left"},  // 5 s a step, 33 to go
                {32, 1, 10, L"step 1 of 10"},                    // another count starts anew
                {60, 10, 10, L"step 10 of 10"},
                {61, 1, 10, L"step 1 of 10"},  // the same count again: no pace from before
                {62, 5, 10, L"step 5 of 10"},  // not the last count's pace
                {90, 9, 10, L"step 9 of 10, less than a minute left"}};
    StepClock clock;
    for (const auto& r : rows)
        EXPECT_EQ(clock.Text(Steps(r.count, r.total),
                             StepClock::Clock::time_point(std::chrono::seconds(r.at))),
                  r.text);
    // The extraction's percentage fills the bar's first fifth, the steps the rest.
    EXPECT_EQ(BuildBar(100, kBuildPercent), 20);
    EXPECT_EQ(BuildBar(50, Steps(20, 40)), 60);
    // Over a whole run: the downloads, then the build, never back.
    RunBar bar;
    const std::pair<int, std::intptr_t> run[] = {
        {99, 0}, {-1, 0}, {0, kBuildPercent}, {50, Steps(20, 40)}, {40, Steps(1, 2)}, {100, 0}};
    std::vector<int> figures;
    for (auto [percent, steps] : run) figures.push_back(bar.Figure(percent, steps));
    EXPECT_EQ(figures, (std::vector<int>{19, -1, 20, 68, 68, 100}));
}

TEST(BuildOutput, DiscGoesAlongOnlyUntilTheGameIsExtracted) {
    fs::path image = ToPath(L"/games/Corvane disc.iso");
    std::wstring plain = BuildCommand(image, true);
    EXPECT_EQ(BuildCommand(image, false), plain + L" --iso \"" + PathText(image) + L"\"");
    EXPECT_TRUE(plain == L"python -u tools\\build.py" || plain == L"python3 -u tools/build.py");
}

}  // namespace
}  // namespace setup::test
