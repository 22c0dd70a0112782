#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include "groups_posix.h"
#include "inbox.h"
#include "setup.h"
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

}  // namespace
}  // namespace setup::test
