#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <memory>
#include <thread>

#include "child.h"
#include "groups_posix.h"
#include "inbox.h"
#include "os.h"
#include "programs.h"
#include "setup.h"
#include "stall.h"
#include "temp.h"

namespace setup::test {
namespace {

std::vector<std::string> LinesOf(const std::wstring& command) {
    std::vector<std::string> lines;
    setup::Run(command, {}, [&lines](const std::string& line) { lines.push_back(line); });
    return lines;
}

TEST(Child, HoldsOnlyTheStandardStreams) {
    TempDir dir;
    Inbox inbox;
    int fd = open((dir / "open-file").c_str(), O_WRONLY | O_CREAT, 0600);  // inheritable
    ASSERT_GE(fd, 3);
    std::wstring probe = L"sh -c \"test -e /proc/$$/fd/" + std::to_wstring(fd) +
                         L" && echo held || echo closed; test -e /proc/$$/fd/2 && echo errors\"";
    EXPECT_EQ(LinesOf(probe), (std::vector<std::string>{"closed", "errors"}));
    close(fd);
}

TEST(Child, GetsDefaultSignalsWhateverTheProgramIgnores) {
    Inbox inbox;
    struct sigaction ignore {
    }, old{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &old);
    auto lines = LinesOf(L"sh -c \"grep SigIgn /proc/$$/status\"");
    sigaction(SIGPIPE, &old, nullptr);
    ASSERT_EQ(lines.size(), 1u);
    unsigned long long ignored = std::stoull(lines[0].substr(lines[0].find(':') + 1), nullptr, 16);
    EXPECT_EQ(ignored & (1ull << (SIGPIPE - 1)), 0u) << lines[0];
}

// A later cancel must not signal a group id that a finished child's end
// let the system reuse.
TEST(Child, FinishedChildLeavesTheRegistry) {
    Inbox inbox;
    std::size_t during = 0;
    setup::Run(L"sh -c \"echo one; exit 3\"", {},
               [&during](const std::string&) { during = os::GroupCount(); });
    EXPECT_EQ(during, 1u);
    EXPECT_EQ(os::GroupCount(), 0u);
}

// A setup program killed mid-build lets go of its own hold on the folder;
// the keeper holds it on until the command's tree is gone.
TEST(Child, TheKeeperHoldsTheFolderUntilTheCommandHasEnded) {
    TempDir dir;
    auto lock = std::make_unique<os::FolderLock>(dir / "lock");
    ASSERT_FALSE(lock->Busy());
    os::Child child;
    ASSERT_EQ(child.Start(L"sleep 30", {}), os::Started::Yes);
    lock.reset();
    EXPECT_TRUE(os::FolderLock(dir / "lock").Busy());
    child.End();
    child.Wait();
    EXPECT_FALSE(os::FolderLock(dir / "lock").Busy());
}

// The command and what it left end together, and their two SIGCHLDs may
// arrive as one.
TEST(Child, AnOrphanEndingWithItsCommandHoldsNothing) {
    using namespace std::chrono_literals;
    Inbox inbox;
    for (int i = 0; i < 20; ++i) {
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(setup::Run(L"sh -c \"sleep 0.05 & exec sleep 0.05\"", {}, nullptr), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << i;
    }
}

// A cancel ends a tree 30 shells deep, its innermost printing flat out:
// once noticed, only the rest of the read under way is handed on (not what
// fills the pipe behind it), and nothing of the tree is left.
TEST(Child, ACancelEndsADeepTreeAndItsOutput) {
    TempDir dir;
    Inbox inbox;
    s_cancel = false;
    WriteBytes(dir / "deep.sh",
               "echo $$ >> \"$1/pids\"\nif [ \"$2\" -gt 0 ]; then sh \"$0\" \"$1\" $(($2 - 1)); "
               "else exec yes tick; fi\n");
    bool cancelled = false;
    std::size_t after = 0;
    auto onLine = [&](const std::string& line) {
        if (cancelled) after += line.size() + 1;
        if (cancelled) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the pipe fills
        Cancel();
        cancelled = true;
    };
    std::wstring message = FailureOf([&] {
        setup::Run(L"sh " + Quote(dir / "deep.sh") + L" " + Quote(dir.path()) + L" 30", {}, onLine);
    });
    s_cancel = false;
    EXPECT_EQ(message, L"Cancelled.");
    EXPECT_LE(after, 64u * 1024);
    std::vector<unsigned long> pids;
    std::ifstream in(dir / "pids");
    for (unsigned long pid; in >> pid;) pids.push_back(pid);
    EXPECT_EQ(pids.size(), 31u);
    EXPECT_TRUE(std::none_of(pids.begin(), pids.end(), Alive));
}

// A process outside the keeper's reach that holds the output (here this
// one, through /proc) keeps the run waiting only a grace of a second.
TEST(Child, OutputHeldFromOutsideTheTreeHoldsTheRunOnlyBriefly) {
    using namespace std::chrono_literals;
    TempDir dir;
    Inbox inbox;
    int holder = -1;
    std::thread take([&] {
        while (!Exists(dir / "pid")) std::this_thread::sleep_for(10ms);
        holder = open(("/proc/" + ReadBytes(dir / "pid") + "/fd/1").c_str(), O_WRONLY);
    });
    std::string script = "echo -n $$ > " + (dir / "p").string() + " && mv " + (dir / "p").string() +
                         " " + (dir / "pid").string() + " && sleep 0.5";
    auto start = std::chrono::steady_clock::now();
    int code = setup::Run(L"sh -c \"" + Widen(script) + L"\"", {}, nullptr);
    auto took = std::chrono::steady_clock::now() - start;
    take.join();
    EXPECT_GE(holder, 0);
    close(holder);
    EXPECT_EQ(code, 0);
    EXPECT_GT(took, 1500ms);  // the command's half second and the grace
    EXPECT_LT(took, 2300ms);
    EXPECT_EQ(Texts(inbox.Drain(), kMsgLog).back(),
              L"(the command has ended; what it left running still held its output)");
}

// A build silent and idle for the limit may be stuck: the status says so
// until it moves again. One that keeps a core busy is no stall. (Wine keeps
// no processor time for a job: there the note never comes.)
TEST(Child, ASilentIdleBuildIsNotedUntilItPrintsAgain) {
    Inbox inbox;
    auto was = s_stallAfter;
    s_stallAfter = std::chrono::milliseconds(400);
    const std::pair<const char*, bool> cases[] = {{"s=2000 o=676f0a", true},
                                                  {"b=2000 o=676f0a", false}};
    for (const auto& [args, noted] : cases) {
        PostText(kMsgStatus, L"Building");
        Watch watch;
        std::wstring command = Quote(Helper("emit")) + L" " + Widen(args);
        EXPECT_EQ(setup::Run(
                      command, {}, [](const std::string&) {}, &watch),
                  0);
        std::vector<std::wstring> expected{L"Building"};
        if (noted) expected = {L"Building", kStallNote, L"Building"};
        EXPECT_EQ(Texts(inbox.Drain(), kMsgStatus), expected) << args;
    }
    s_stallAfter = was;
}

}  // namespace
}  // namespace setup::test
