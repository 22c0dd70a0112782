#include <gtest/gtest.h>

#include "inbox.h"
#include "os.h"
#include "temp.h"
#include "tools.h"

namespace setup::test {
namespace {

// Git has no build that runs without installing it, so Linux can only say so.
TEST(ToolsLinux, WithoutGitTheRunSaysWhatToInstall) {
    TempDir dir;
    std::wstring saved = os::GetEnv(L"PATH");
    os::SetEnv(L"PATH", PathText(dir / "empty"));
    std::wstring error;
    std::vector<std::wstring> lines;
    {
        Inbox inbox;
        error = FailureOf([&] { Tools(dir / "install"); });
        lines = Texts(inbox.Drain(), kMsgLog);
    }
    os::SetEnv(L"PATH", saved);
    EXPECT_EQ(error,
              L"Git isn't installed. Install it with your package manager (on Debian and Ubuntu: "
              L"sudo apt install git), then run Setup again.");
    // Git is the first tool: the stage stops there.
    EXPECT_EQ(lines, std::vector<std::wstring>{L"== Checking the tools"});
    EXPECT_TRUE(fs::is_empty(dir / "install/tools"));
}

}  // namespace
}  // namespace setup::test
