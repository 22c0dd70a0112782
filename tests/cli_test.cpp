#include <gtest/gtest.h>

#include "cli.h"
#include "console_view.h"
#include "urls.h"

namespace setup::test {
namespace {

TEST(Cli, ReadsChoicesAndDefaults) {
    Options o = ParseArgs({L"--source", L"/g/disc.iso", L"--shortcut", L"--free-space",
                           L"--delete-image", L"--yes", L"--verbose"},
                          "/home/u/Corvane-Recomp");
    EXPECT_TRUE(o.error.empty());
    EXPECT_EQ(o.choices.source, fs::path("/g/disc.iso"));
    EXPECT_EQ(o.choices.installDir, fs::path("/home/u/Corvane-Recomp"));
    EXPECT_TRUE(o.choices.shortcut && o.choices.freeSpace && o.choices.deleteImage);
    EXPECT_TRUE(o.yes && o.verbose);
    EXPECT_TRUE(o.update.empty());
}

TEST(Cli, UpdateNamesTheInstallFolder) {
    Options o = ParseArgs({L"--install-dir", L"/a", L"--update", L"/b"}, "/d");
    EXPECT_EQ(o.update, fs::path("/b"));
    EXPECT_EQ(o.choices.installDir, fs::path("/b"));
}

TEST(Cli, BadCommandLinesSayWhatIsWrong) {
    EXPECT_EQ(ParseArgs({L"--source"}, "/d").error, L"--source needs a value.");
    EXPECT_EQ(ParseArgs({L"--bogus"}, "/d").error, L"Unknown option --bogus.");
    EXPECT_EQ(ParseArgs({L"--update", L""}, "/d").error, L"--update needs a value.");
    EXPECT_TRUE(ParseArgs({L"--help"}, "/d").help);
}

TEST(Cli, MirrorOptionsReplaceTheBases) {
    ParseArgs({L"--github-api", L"http://127.0.0.1:8080/", L"--github", L"file:///srv/mirror",
               L"--nuget", L"http://127.0.0.1:9/"},
              "/d");
    EXPECT_EQ(urls::GithubApi(), L"http://127.0.0.1:8080");
    EXPECT_EQ(urls::Github(), L"file:///srv/mirror");
    EXPECT_EQ(urls::Nuget(), L"http://127.0.0.1:9");
    EXPECT_EQ(urls::NugetDomain(), L"127.0.0.1:9");
    urls::SetGithubApi(L"https://api.github.com");
    urls::SetGithub(L"https://github.com");
    urls::SetNuget(L"https://api.nuget.org");
    EXPECT_EQ(urls::NugetDomain(), L"nuget.org");
}

TEST(ConsoleView, BarShowsPercentCappedAndMarquee) {
    EXPECT_EQ(ConsoleView::Bar(0, 0), "[........................]   0%");
    EXPECT_EQ(ConsoleView::Bar(50, 0), "[############............]  50%");
    EXPECT_EQ(ConsoleView::Bar(150, 0), ConsoleView::Bar(100, 0));
    EXPECT_EQ(ConsoleView::Bar(-1, 0), "[####....................]     ");
    EXPECT_NE(ConsoleView::Bar(-1, 3), ConsoleView::Bar(-1, 0));
}

}  // namespace
}  // namespace setup::test
