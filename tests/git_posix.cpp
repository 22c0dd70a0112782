#include <gtest/gtest.h>

#include "inbox.h"
#include "setup.h"
#include "temp.h"

namespace setup::test {
namespace {

// The real git, which the Linux build uses as it is.
TEST(GitOutput, FolderThatIsNoWorkingTree) {
    TempDir dir;
    Inbox inbox;
    std::string out;
    EXPECT_FALSE(GitOutput(dir.path(), L"rev-parse --abbrev-ref HEAD", out));
    EXPECT_EQ(out.rfind("fatal: not a git repository", 0), 0u) << out;
}

TEST(GitOutput, WorkingTreeAnswers) {
    TempDir dir;
    Inbox inbox;
    int code = setup::Run(L"git init -q -b trunk " + Quote(dir.path()), {}, nullptr);
    ASSERT_EQ(code, 0);
    std::string out;
    EXPECT_TRUE(GitOutput(dir.path(), L"symbolic-ref --short HEAD", out));
    EXPECT_EQ(out, "trunk");
}

}  // namespace
}  // namespace setup::test
