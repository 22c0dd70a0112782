#include <gtest/gtest.h>

#include "cli.h"
#include "console_view.h"
#include "download_line.h"
#include "os.h"
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

TEST(Cli, ValuesFollowTheOptionOrAnEqualsSign) {
    Options o = ParseArgs({L"--source=/g/a=b.iso", L"--install-dir", L"/i", L"--update=/u"}, "/d");
    EXPECT_TRUE(o.error.empty());
    EXPECT_EQ(o.choices.source, fs::path("/g/a=b.iso"));
    EXPECT_EQ(o.update, fs::path("/u"));
    EXPECT_EQ(ParseArgs({L"--install-dir=/i"}, "/d").choices.installDir, fs::path("/i"));
    EXPECT_TRUE(ParseArgs({L"--version"}, "/d").version);
    // No shell expands "~" after "=": the option does.
    std::wstring home = os::GetEnv(L"HOME");
    os::SetEnv(L"HOME", L"/h");
    EXPECT_EQ(ParseArgs({L"--install-dir=~/x"}, "/d").choices.installDir, ToPath(L"/h") / "x");
    os::SetEnv(L"HOME", home);
}

TEST(Cli, BadCommandLinesSayWhatIsWrong) {
    EXPECT_EQ(ParseArgs({L"--source"}, "/d").error, L"--source needs a value.");
    EXPECT_EQ(ParseArgs({L"--bogus"}, "/d").error, L"Unknown option --bogus.");
    EXPECT_EQ(ParseArgs({L"--update", L""}, "/d").error, L"--update needs a value.");
    EXPECT_EQ(ParseArgs({L"--source=", L"/g/disc.iso"}, "/d").error, L"--source needs a value.");
    EXPECT_EQ(ParseArgs({L"--bogus=1"}, "/d").error, L"Unknown option --bogus.");
    EXPECT_EQ(ParseArgs({L"disc.iso"}, "/d").error, L"Unexpected argument disc.iso.");
    EXPECT_EQ(ParseArgs({L"--shortcut=no"}, "/d").error, L"--shortcut takes no value.");
    EXPECT_EQ(ParseArgs({L"--update=~nobody-here/x"}, "/d").error,
              L"--update ~nobody-here/x: Setup can't tell which folder ~nobody-here is. Give the "
              L"whole path.");
    EXPECT_TRUE(ParseArgs({L"--help"}, "/d").help);
}

// Before any mirror option (each test runs in a process of its own).
TEST(Cli, WithoutMirrorOptionsTheBasesAreTheRealOnes) {
    EXPECT_EQ(urls::GithubApi(), L"https://api.github.com");
    EXPECT_EQ(urls::Github(), L"https://github.com");
    EXPECT_EQ(urls::Nuget(), L"https://api.nuget.org");
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
    EXPECT_EQ(ConsoleView::Bar(50, 0, 10), "[#####.....]  50%");
}

TEST(ConsoleView, StatusLineFitsTheTerminal) {
    const std::wstring text = L"Downloading CMake: 12 MB of 38 MB, 8.1 MB/s, 4 s left";  // 53
    const std::pair<int, std::string> cases[] = {
        {120, "[############............]  50% " + Narrow(text)},
        {80, "[#########.........]  50% " + Narrow(text)},
        {72, "[#####.....]  50% " + Narrow(text)},  // the narrowest bar
        // The bar goes first, then the verb, then room in the figures' form.
        {60, "50% " + Narrow(text)},
        {46, "50% CMake: 12 MB of 38 MB, 8.1 MB/s, 4 s left"},
        {45, "50% CMake 12 MB of 38 MB, 8.1 MB/s, 4 s left"},
        {40, "50% CMake: 12/38 MB, 8.1 MB/s, 4 s left"},
        {39, "50% CMake 12/38 MB, 8.1 MB/s, 4 s left"},
        {30, "50% CMake 12/38 MB, 8.1 MB..."},
        {8, "Down..."},
        {3, "Do"},
        {1, ""},
    };
    for (const auto& [columns, line] : cases) {
        EXPECT_EQ(ConsoleView::Fit(text, 50, 0, columns), line) << columns;
        EXPECT_LT(static_cast<int>(Widen(ConsoleView::Fit(text, -1, 5, columns)).size()), columns)
            << columns;
    }
    EXPECT_EQ(ConsoleView::Fit(L"\u00dcbersetzen", -1, 1, 15), "/ \u00dcbersetzen");
    // Another label gives way before its figures; finished work has no bar.
    EXPECT_EQ(ConsoleView::Fit(L"Extracting the game's files: step 3 of 10", 30, 0, 30),
              "30% Extractin... step 3 of 10");
    EXPECT_EQ(ConsoleView::Fit(L"Done", 100, 0, 80), "Done");
    // Short of room for both, the time left outlasts the label.
    EXPECT_EQ(ConsoleView::Fit(L"Building: step 23 of 40, about 1 min left", 57, 0, 40),
              "57% step 23 of 40, about 1 min left");
}

TEST(ConsoleView, WithoutATerminalStatusesChangeAndDownloadsShowTenths) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    ConsoleView view(false, false, out, out);
    view.Status(L"Checking the tools");
    view.Status(L"Checking the tools");
    for (int percent = 0; percent <= 100; ++percent) {
        view.Progress(percent);
        view.Status(L"Downloading CMake: " + std::to_wstring(percent) + L" MB of 100 MB", true);
    }
    view.Progress(0);
    view.Status(L"Downloading Ninja: 0 MB of 1 MB", true);
    view.Progress(-1);
    view.Status(L"Downloading Clang: 0 MB", true);
    view.Status(L"Downloading Clang: 1 MB", true);
    view.Done(L"Not enough disk space.", false);
    std::rewind(out);
    std::string text;
    for (int c; (c = std::fgetc(out)) != EOF;) text.push_back(static_cast<char>(c));
    std::fclose(out);
    std::string expected = "Checking the tools\n";
    for (int percent = 0; percent <= 100; percent += 10)
        expected += "Downloading CMake: " + std::to_string(percent) + " MB of 100 MB\n";
    expected +=
        "Downloading Ninja: 0 MB of 1 MB\nDownloading Clang: 0 MB\nNot enough disk space.\n";
    EXPECT_EQ(text, expected);
}

ConsoleView::Clock::time_point s_now;
ConsoleView::Clock::time_point Now() {
    return s_now;
}

std::string Printed(std::FILE* out) {
    std::rewind(out);
    std::string text;
    for (int c; (c = std::fgetc(out)) != EOF;) text.push_back(static_cast<char>(c));
    std::fclose(out);
    return text;
}

TEST(ConsoleView, WithoutATerminalTheBuildShowsEachTenthAndLifeEveryMinute) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    ConsoleView view(false, false, out, out);
    view.SetClock(Now);
    view.Status(L"Building");
    for (int step = 1; step <= 40; ++step) view.Progress(step * 100 / 40, Steps(step, 40));
    std::string expected = "Building\nBuilding: step 1 of 40 (2 %)\n";
    for (int step = 4; step <= 40; step += 4)
        expected += "Building: step " + std::to_string(step) + " of 40 (" +
                    std::to_string(step * 100 / 40) + " %)\n";
    // A stage of percentages, then a slow one: a minute brings the news.
    view.Status(L"Extracting");
    view.Progress(-1);
    view.Progress(40, kBuildPercent);
    view.Progress(45, kBuildPercent);
    view.Tick();
    s_now += std::chrono::seconds(61);
    view.Tick();
    view.Tick();
    view.Progress(46, kBuildPercent);
    view.Progress(100, kBuildPercent);
    view.Done(L"Done. Start the game with the launcher.", true);
    expected +=
        "Extracting\nExtracting: 40 %\nExtracting: 45 %\n"
        "Done. Start the game with the launcher.\n";
    EXPECT_EQ(Printed(out), expected);
}

TEST(ConsoleView, VerboseShowsTheFinalMessageOnce) {
    const std::wstring summary = L"Done. Start the game with the launcher.\n\nInstalled in /i.";
    const struct {
        std::vector<std::wstring> blocks;
        std::string printed;
    } cases[] = {
        {{L"== Checking the tools", summary}, "== Checking the tools\n"},
        {{L"$ git pull\nAlready up to date.\n" + summary}, "$ git pull\nAlready up to date.\n"},
        {{L"one\ntwo"}, "one\ntwo\n"},
    };
    for (const auto& c : cases) {
        std::FILE* out = std::tmpfile();
        ASSERT_NE(out, nullptr);
        ConsoleView view(false, true, out, out);
        for (const auto& block : c.blocks) view.Line(block);
        view.Done(summary, true);
        EXPECT_EQ(Printed(out), c.printed + Narrow(summary) + "\n");
    }
}

TEST(ConsoleView, OnATerminalTheStatusLineIsDrawnAgainUnderEachLogLine) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    ConsoleView view(true, true, out, out);
    view.Status(L"Checking the tools");
    view.Line(L"one");
    view.Line(L"two");
    view.Status(L"Building");
    std::string text = Printed(out);
    std::size_t one = text.find("one\n"), two = text.find("two\n");
    ASSERT_NE(two, std::string::npos);
    EXPECT_NE(text.substr(one, two - one).find("Checking the tools"), std::string::npos);
    EXPECT_NE(text.find("Checking the tools", two), std::string::npos);
}

TEST(DownloadLine, AddsSpeedAndTimeLeft) {
    using namespace std::chrono_literals;
    constexpr std::uint64_t kMB = 1 << 20;
    const struct {
        std::chrono::milliseconds at;
        const wchar_t* label;
        std::uint64_t received, length;
        const wchar_t* text;
    } steps[] = {
        {0ms, L"CMake", 0, 38 * kMB, L"Downloading CMake: 0 MB of 38 MB"},
        {900ms, L"CMake", 5 * kMB, 38 * kMB, L"Downloading CMake: 5 MB of 38 MB"},
        {1500ms, L"CMake", 12150 * kMB / 1000, 38 * kMB,
         L"Downloading CMake: 12 MB of 38 MB, 8.1 MB/s, 4 s left"},
        // Over the last five seconds only: a stall shows.
        {8500ms, L"CMake", 13150 * kMB / 1000, 38 * kMB,
         L"Downloading CMake: 13 MB of 38 MB, 146 KB/s, 3 min left"},
        {9000ms, L"CMake", 38 * kMB, 38 * kMB, L"Downloading CMake: 38 MB of 38 MB, 3.4 MB/s"},
        // Another download, and the same one started again, begin anew.
        {9100ms, L"Ninja", kMB, 2 * kMB, L"Downloading Ninja: 1 MB of 2 MB"},
        {10100ms, L"Ninja", 2 * kMB / 4, 2 * kMB, L"Downloading Ninja: 0 MB of 2 MB"},
        {11100ms, L"Ninja", kMB, 2 * kMB, L"Downloading Ninja: 1 MB of 2 MB, 512 KB/s, 2 s left"},
        {12100ms, L"Ninja", 3 * kMB, 0, L"Downloading Ninja: 3 MB, 1.2 MB/s"},
    };
    DownloadLine line;
    const auto start = DownloadLine::Clock::now();
    for (const auto& s : steps)
        EXPECT_EQ(line.Text(s.label, s.received, s.length, start + s.at), s.text) << s.at.count();
}

// Side by side: CMake resumed at 22 MB, then Python, whose size comes late.
TEST(DownloadLine, SideBySideTheBarNeverFallsAndThePaceIsThisRuns) {
    using namespace std::chrono_literals;
    constexpr std::uint64_t kMB = 1 << 20;
    constexpr std::uint64_t kRetry = ~std::uint64_t{0};
    const struct {
        std::chrono::milliseconds at;
        std::size_t job;
        std::uint64_t received, length;
        int percent;
        const wchar_t* text;
    } steps[] = {
        // Each download's first report is where it starts.
        {0ms, 0, 0, 0, 0, L"0 MB of 38 MB"},
        {0ms, 0, kMB, 10 * kMB, 2, L"1 MB of 38 MB"},
        {500ms, 1, 22 * kMB, 28 * kMB, 60, L"23 MB of 38 MB"},
        {1500ms, 0, 2 * kMB, 10 * kMB, 63, L"24 MB of 38 MB, 1.3 MB/s, about 11 s left"},
        {2000ms, 2, 0, 0, 63, L"24 MB of 38 MB, 1.0 MB/s, about 14 s left"},
        {2500ms, 2, kMB, 12 * kMB, 63, L"25 MB of 50 MB, 1.2 MB/s, about 21 s left"},
        {3000ms, 1, kRetry, 0, 63, L"25 MB of 50 MB, 1.0 MB/s, about 25 s left (CMake: retrying)"},
        {8000ms, 0, 3 * kMB, 10 * kMB, 63,
         L"26 MB of 50 MB, 205 KB/s, about 2 min left (CMake: retrying, waiting for Python's "
         L"server)"},
    };
    Downloads all;
    all.Add(10 * kMB, L"Ninja");
    all.Add(28 * kMB, L"CMake");
    all.Add(0, L"Python");
    const auto start = DownloadLine::Clock::now();
    for (const auto& s : steps) {
        std::wstring text;
        EXPECT_EQ(s.received == kRetry
                      ? all.Retrying(s.job, start + s.at, text)
                      : all.Update(s.job, s.received, s.length, start + s.at, text),
                  s.percent);
        EXPECT_EQ(text, s.text) << s.at.count();
    }
}

}  // namespace
}  // namespace setup::test
