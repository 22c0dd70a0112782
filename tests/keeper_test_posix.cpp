// No signal goes to a process id of 1 or less (kill(-1, SIGKILL) ends every
// process the user owns): the guard, and the keeper's every way to end run
// in a PID namespace of their own beside a sentinel process that must live.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "child.h"
#include "signal_posix.h"

namespace setup::test {
namespace {

// Runs the command to the end of its output (ended at once when asked).
void RunToEnd(const std::wstring& command, bool end) {
    os::Child child;
    ASSERT_EQ(child.Start(command, {}), os::Started::Yes);
    if (end) child.End();
    char buffer[4096];
    std::size_t got = 0;
    while (child.Read(buffer, sizeof buffer, 50, got) != os::Output::kEnd) {
    }
    child.Wait();
}

TEST(SignalGuard, NothingOutsideTheRunIsSignalled) {
    if (!std::getenv("CORVANE_PID_NAMESPACE")) {
        if (std::system("unshare --pid --fork --mount-proc true >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "no PID namespace can be made here (unshare needs root or user "
                            "namespaces)";
        std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
        EXPECT_EQ(std::system(("CORVANE_PID_NAMESPACE=1 unshare --pid --fork --mount-proc '" +
                               self + "' --gtest_filter=SignalGuard.*")
                                  .c_str()),
                  0);
        return;
    }
    ASSERT_EQ(getpid(), 1);  // a signal to every process would spare this one alone
    pid_t sentinel = fork();
    if (sentinel == 0) {
        pause();
        _exit(0);
    }
    for (pid_t id : {1, 0, -1}) {
        EXPECT_FALSE(os::SignalProcess(id, SIGKILL)) << id;
        EXPECT_FALSE(os::SignalGroup(id, SIGKILL)) << id;
    }
    RunToEnd(L"sh -c \"sleep 30 & echo left\"", false);  // ends, leaving a process
    RunToEnd(L"sh -c \"sleep 30\"", true);               // cancelled
    usleep(100 * 1000);
    EXPECT_EQ(waitpid(sentinel, nullptr, WNOHANG), 0) << "the sentinel was killed";
    kill(sentinel, SIGKILL);
}

}  // namespace
}  // namespace setup::test
