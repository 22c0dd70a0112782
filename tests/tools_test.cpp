#include <gtest/gtest.h>

#include "acquire.h"
#include "facts.h"
#include "inbox.h"
#include "os.h"
#include "temp.h"
#include "tools.h"

namespace setup::test {
namespace {

fs::path Native(fs::path p) {
    return p.make_preferred();
}

TEST(FindUnder, FindsTheFirstExactNameAtMostThreeFoldersDown) {
    TempDir dir;
    WriteBytes(dir / "a/b/c/tool.exe", "");
    WriteBytes(dir / "deep/1/2/3/other.exe", "");
    WriteBytes(dir / "case/Tool.EXE", "");
    fs::create_directories(dir / "folder/named.exe");
    struct Case {
        const wchar_t* file;
        fs::path want;
    } cases[] = {
        {L"tool.exe", dir / "a/b/c/tool.exe"},
        {L"other.exe", {}},  // four folders down
        {L"TOOL.EXE", {}},   // letter case counts
        {L"named.exe", {}},  // folders never match
        {L"missing.exe", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(FindUnder(dir.path(), c.file), c.want) << c.file;
    EXPECT_EQ(FindUnder(dir / "nowhere", L"tool.exe"), fs::path());
}

// A table whose sources fail the test when asked: nothing may be downloaded.
std::vector<Tool> Offline(int& asked) {
    std::vector<Tool> table;
    for (const wchar_t* name : {L"Git", L"CMake", L"Ninja", L"Clang", L"Python"})
        table.push_back({name, std::wstring(L"corvane-") + name + L".exe", [&asked] {
                             ++asked;
                             Fail(L"no download expected");
                             return std::wstring();
                         }});
    return table;
}

class ToolsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        bool present = false;
        savedPath = os::GetEnv(L"PATH", &present);
        hadPath = present;
        s_cancel = false;
    }
    void TearDown() override { os::SetEnv(L"PATH", savedPath); }

    std::wstring Joined(std::initializer_list<fs::path> folders) {
        std::wstring path;
        for (const auto& f : folders) {
            if (!path.empty()) path += kPathSeparator;
            path += PathText(f);
        }
        return path;
    }

    std::vector<std::wstring> Run(const std::vector<Tool>& table, std::wstring* error = nullptr) {
        Inbox inbox;
        std::wstring failure = FailureOf([&] { Tools(dir / "install", table); });
        if (error) *error = failure;
        return Texts(inbox.Drain(), kMsgLog);
    }

    TempDir dir;
    std::wstring savedPath;
    bool hadPath = false;
};

TEST_F(ToolsTest, ToolsOnThePathAreUsedAsTheyAre) {
    int asked = 0;
    auto table = Offline(asked);
    for (const auto& tool : table) WriteBytes(dir / "bin" / Narrow(tool.exe), "");
    // A middle entry is searched as a whole, not only the first and the last.
    std::wstring path = Joined({dir / "empty", dir / "bin", dir / "last"});
    os::SetEnv(L"PATH", path);
    auto lines = Run(table);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(os::GetEnv(L"PATH"), path);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], L"== Checking the tools");
    EXPECT_EQ(lines[1], L"Git: using " + PathText(dir / "bin" / "corvane-Git.exe"));
    EXPECT_EQ(lines[5], L"Python: using " + PathText(dir / "bin" / "corvane-Python.exe"));
    EXPECT_TRUE(fs::is_directory(dir / "install/tools"));
    EXPECT_TRUE(fs::is_empty(dir / "install/tools"));
}

TEST_F(ToolsTest, PathEntriesAreTakenExactlyAsWritten) {
    int asked = 0;
    auto table = Offline(asked);
    table.resize(1);
    WriteBytes(dir / "WindowsApps" / "corvane-Git.exe", "");
    WriteBytes(dir / "windowsapps" / "corvane-Git.exe", "");
    WriteBytes(dir / "bin" / "corvane-Git.exe", "");
    // Quoted, padded and WindowsApps entries never find the tool.
    std::wstring path = L"\"" + PathText(dir / "bin") + L"\"" + kPathSeparator +
                        PathText(dir / "bin") + L" " + kPathSeparator + kPathSeparator +
                        PathText(dir / "WindowsApps") + kPathSeparator +
                        PathText(dir / "windowsapps");
    os::SetEnv(L"PATH", path);
    std::wstring error;
    Run(table, &error);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(error, L"no download expected");
}

TEST_F(ToolsTest, ToolsFolderCopiesGoInFrontOfThePath) {
    int asked = 0;
    auto table = Offline(asked);
    for (const auto& tool : table)
        WriteBytes(dir / "install/tools" / Narrow(tool.name) / "x/bin" / Narrow(tool.exe), "");
    os::SetEnv(L"PATH", PathText(dir / "elsewhere"));
    auto lines = Run(table);
    EXPECT_EQ(asked, 0);
    fs::path tools = dir / "install/tools";
    EXPECT_EQ(lines[1],
              L"Git: " + PathText((tools / "Git/x/bin/corvane-Git.exe").make_preferred()));
    EXPECT_EQ(os::GetEnv(L"PATH"),
              Joined({Native(tools / "Python/x/bin"), Native(tools / "Clang/x/bin"),
                      Native(tools / "Ninja/x/bin"), Native(tools / "CMake/x/bin"),
                      Native(tools / "Git/x/bin"), dir / "elsewhere"}));
    // A PATH another hand changed since stays whole behind the next folder.
    os::SetEnv(L"PATH", PathText(dir / "changed"));
    Settled(table[1], Native(tools));
    EXPECT_EQ(os::GetEnv(L"PATH"), Joined({Native(tools / "CMake/x/bin"), dir / "changed"}));
}

TEST_F(ToolsTest, CorvaneSetupDownloadsAboveTheWidestIsTheDefault) {
    for (auto [value, width] : {std::pair(L"3", 3), std::pair(L"4", 2), std::pair(L"", 2)}) {
        os::SetEnv(L"CORVANE_SETUP_DOWNLOADS", value);
        EXPECT_EQ(DownloadWidth(), width) << Narrow(value);
    }
}

TEST_F(ToolsTest, ThePathBeatsTheToolsFolder) {
    int asked = 0;
    auto table = Offline(asked);
    table.resize(1);
    WriteBytes(dir / "install/tools/Git/corvane-Git.exe", "");
    WriteBytes(dir / "bin/corvane-Git.exe", "");
    os::SetEnv(L"PATH", PathText(dir / "bin"));
    auto lines = Run(table);
    EXPECT_EQ(lines[1], L"Git: using " + PathText(dir / "bin" / "corvane-Git.exe"));
    EXPECT_EQ(os::GetEnv(L"PATH"), PathText(dir / "bin"));
}

TEST_F(ToolsTest, WithoutAPathTheToolsFolderIsAllThereIs) {
    int asked = 0;
    auto table = Offline(asked);
    table.resize(1);
    WriteBytes(dir / "install/tools/Git/cmd/corvane-Git.exe", "");
    os::SetEnv(L"PATH", L"");
    Run(table);
    EXPECT_EQ(os::GetEnv(L"PATH"),
              PathText(Native(dir / "install/tools/Git/cmd")) + kPathSeparator);
}

TEST_F(ToolsTest, CancelStopsBeforeTheNextTool) {
    int asked = 0;
    auto table = Offline(asked);
    s_cancel = true;
    std::wstring error;
    auto lines = Run(table, &error);
    EXPECT_EQ(error, L"Cancelled.");
    EXPECT_EQ(lines.size(), 1u);
    s_cancel = false;
}

}  // namespace
}  // namespace setup::test
