// The keeper and the process groups never signal a process id of 1 or less:
// kill(-1, SIGKILL) ends every process the user owns. Checked in a PID
// namespace of its own, where such a signal would reach only its processes,
// beside a sentinel process that must live through the keeper's every way to end.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "child.h"
#include "signal_posix.h"

namespace setup::test {
namespace {

TEST(SignalGuard, IdsOfOneOrLessAreRefused) {
    for (pid_t id : {1, 0, -1}) {
        EXPECT_FALSE(os::SignalProcess(id, 0)) << id;
        EXPECT_FALSE(os::SignalGroup(id, 0)) << id;
    }
    EXPECT_TRUE(os::SignalProcess(getpid(), 0));
}

// Runs the command to the end of its output (End first when asked).
int RunToEnd(const std::wstring& command, bool end) {
    os::Child child;
    if (child.Start(command, {}) != os::Started::Yes) return -1;
    if (end) child.End();
    char buffer[4096];
    std::size_t got = 0;
    while (child.Read(buffer, sizeof buffer, 50, got) != os::Output::kEnd) {
    }
    return child.Wait();
}

TEST(SignalGuard, TheKeeperSparesEveryOtherProcessOfANamespace) {
    if (!std::getenv("CORVANE_PID_NAMESPACE")) {
        if (std::system("unshare --pid --fork --mount-proc true >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "no PID namespace can be made here (unshare --pid needs root or "
                            "user namespaces)";
        std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
        std::string command = "CORVANE_PID_NAMESPACE=1 unshare --pid --fork --mount-proc '" +
                              self + "' --gtest_filter=" +
                              ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() +
                              "." + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        return;
    }
    ASSERT_EQ(getpid(), 1);  // init of the namespace: a signal to every process spares it alone
    pid_t sentinel = fork();
    if (sentinel == 0) {
        pause();
        _exit(0);
    }
    // The signal that would end them all, through the only way to send one.
    for (pid_t id : {1, 0, -1}) {
        os::SignalProcess(id, SIGKILL);
        os::SignalGroup(id, SIGKILL);
    }
    // A command that ends leaving a process behind, and a cancelled one.
    EXPECT_EQ(RunToEnd(L"sh -c \"sleep 30 & echo left\"", false), 0);
    EXPECT_NE(RunToEnd(L"sh -c \"sleep 30; sleep 30\"", true), 0);
    usleep(100 * 1000);
    EXPECT_EQ(waitpid(sentinel, nullptr, WNOHANG), 0) << "the sentinel was killed";
    kill(sentinel, SIGKILL);
    waitpid(sentinel, nullptr, 0);
}

}  // namespace
}  // namespace setup::test
