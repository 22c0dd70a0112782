// What a child gets from the setup program on Windows, and how a cancel
// reaches one that the job couldn't take.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <utility>

#include "inbox.h"
#include "programs.h"
#include "setup.h"
#include "temp.h"
#include "win.h"

namespace setup::test {
namespace {

using namespace std::chrono_literals;

class WinRun : public ::testing::Test {
  protected:
    void SetUp() override { s_cancel = false; }
    void TearDown() override { s_cancel = false; }

    TempDir dir;
    Inbox inbox;
};

TEST_F(WinRun, ChildrenInheritOnlyTheirPipe) {
    // An inheritable handle, as the C runtime makes setup.log's.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE file = CreateFileW((dir / "open.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                              CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    auto number = std::to_wstring(reinterpret_cast<std::uintptr_t>(file));
    std::vector<std::string> lines;
    int code = setup::Run(Quote(Helper("emit")) + L" holds=" + number, {},
                          [&](const std::string& line) { lines.push_back(line); });
    CloseHandle(file);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(lines, std::vector<std::string>{"not held"});
}

// The job is missing (or, as it may be, the system refused to put the child
// in it): a cancel still ends the child, by its own handle.
TEST_F(WinRun, CancelEndsAChildOutsideTheJob) {
    struct NoJob {
        HANDLE job = std::exchange(s_job, nullptr);
        ~NoJob() { s_job = job; }
    } noJob;
    // One level of the tree helper: it sleeps 20 s, then notes that it survived.
    std::wstring command = Quote(Helper("tree")) + L" " + Quote(dir.path()) + L" 3";
    std::wstring message;
    std::thread worker([&] { message = FailureOf([&] { setup::Run(command, {}, {}); }); });
    for (int i = 0; i < 2000 && !Exists(dir / "pid-3"); ++i) std::this_thread::sleep_for(10ms);
    auto cancelled = std::chrono::steady_clock::now();
    Cancel();
    worker.join();
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - cancelled;
    std::printf("cancel to the end of Run, child outside the job: %.2f s\n", took.count());
    ASSERT_TRUE(Exists(dir / "pid-3"));
    EXPECT_EQ(message, L"Cancelled.");
    EXPECT_FALSE(Exists(dir / "survived-3"));
    auto logged = Texts(inbox.Drain(), kMsgLog);
    ASSERT_GE(logged.size(), 2u);
    EXPECT_EQ(logged[1],
              L"(the setup's job couldn't take this program: a cancel ends it, but not what it "
              L"starts)");
}

TEST_F(WinRun, AProgramAppControlRefusesAtItsStartOrEndsIsNamed) {
    fs::path emit = Helper("emit");
    os::s_createProcess = [](auto...) -> BOOL { return SetLastError(4551), FALSE; };
    EXPECT_EQ(FailureOf([&] { setup::Run(Quote(emit), {}, {}); }), BlockedText(emit));
    os::s_createProcess = nullptr;
    EXPECT_EQ(FailureOf([&] { setup::Run(Quote(emit) + L" x=-1058471934", {}, {}); }),
              BlockedText(emit));
}

}  // namespace
}  // namespace setup::test
