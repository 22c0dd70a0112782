// What the tool stage keeps of an archive on Linux, where the tests run as
// root as a user may: the system's bsdtar against the stand-in web.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "inbox.h"
#include "os.h"
#include "releases.h"
#include "standin.h"
#include "temp.h"
#include "tools.h"
#include "urls.h"

namespace setup::test {
namespace {

TEST(HttpToolsLinux, UnpackKeepsNoDeviceOwnerOrSetUserId) {
    TempDir dir;
    std::wstring savedPath = os::GetEnv(L"PATH"), savedApi = urls::GithubApi();
    urls::SetGithubApi(standin::Base());
    struct Case {
        const char* repo;
        std::wstring message;  // the run's end: empty when the tool was unpacked
        std::wstring cause;
    } cases[] = {
        {"corvane-test/device", L"Couldn't unpack Ninja: the archive is damaged or unsafe.",
         L"null is neither a file nor a folder"},
        {"corvane-test/setuid", L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.repo);
        // A tool an earlier row put on the PATH would not be downloaded again.
        os::SetEnv(L"PATH", PathText(dir / "empty"));
        fs::path install = dir / c.repo;
        std::vector<Tool> table;
        for (Tool tool : ToolTable())
            if (tool.name == L"Ninja") {
                std::string repo = c.repo;
                tool.source = [repo] { return LatestAsset(repo.c_str(), R"(ninja-linux\.zip)"); };
                table.push_back(tool);
            }
        ASSERT_EQ(table.size(), 1u);
        Failed failed;
        try {
            Inbox inbox;
            Tools(install, table);
        } catch (const Failed& f) {
            failed = f;
        }
        EXPECT_EQ(failed.message, c.message);
        // Only root makes the device node: for anyone else bsdtar refuses it, in its own words.
        if (getuid() == 0) {
            EXPECT_EQ(failed.cause, c.cause);
        }
        fs::path tools = install / "tools";
        // Nothing of a refused unpack is left, staged or not.
        EXPECT_EQ(fs::exists(tools / "Ninja.partial"), false);
        struct stat info {};
        if (!c.message.empty()) {
            EXPECT_NE(stat((tools / "Ninja/null").c_str(), &info), 0);
            continue;
        }
        ASSERT_EQ(stat((tools / "Ninja/ninja").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & (S_ISUID | S_ISGID), 0u);
        EXPECT_NE(info.st_mode & S_IXUSR, 0u);
        EXPECT_EQ(info.st_uid, getuid());
    }
    os::SetEnv(L"PATH", savedPath);
    urls::SetGithubApi(savedApi);
}

}  // namespace
}  // namespace setup::test
