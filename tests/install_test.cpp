#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <optional>
#include <stdexcept>
#include <thread>

#include "inbox.h"
#include "os.h"
#include "setup.h"
#include "space.h"
#include "temp.h"
#include "urls.h"

namespace setup::test {
namespace {

constexpr std::uint64_t kGiB = 1ull << 30;

std::optional<std::uint64_t> s_free;
std::vector<std::wstring> s_questions;
bool s_answer = false;

std::optional<std::uint64_t> FakeFree(const fs::path&) {
    return s_free;
}
bool FakeAsk(const std::wstring& q) {
    s_questions.push_back(q);
    return s_answer;
}
std::vector<std::wstring> s_odd;  // questions about the source
bool s_useOdd = false;
bool FakeAskAnyway(const std::wstring& q) {
    s_odd.push_back(q);
    return s_useOdd;
}

// Runs Install on a worker thread, as the front ends do, and collects the posts.
class InstallTest : public ::testing::Test {
  protected:
    void SetUp() override {
        s_cancel = false;
        s_free.reset();
        s_questions.clear();
        s_answer = false;
        s_freeBytes = FakeFree;
        s_ask = FakeAsk;
        s_odd.clear();
        s_useOdd = false;
        s_askAnyway = FakeAskAnyway;
        image = dir / "disc.iso";
        WriteDiscImage(image);
        choices.source = image;
        choices.installDir = dir / "install";
        // Whatever stages a run reaches, they stay on this machine.
        urls::SetGithubApi(L"http://127.0.0.1:9");
        urls::SetGithub(L"http://127.0.0.1:9");
        urls::SetNuget(L"http://127.0.0.1:9");
    }
    void TearDown() override {
        s_cancel = false;
        urls::SetGithubApi(L"https://api.github.com");
        urls::SetGithub(L"https://github.com");
        urls::SetNuget(L"https://api.nuget.org");
    }

    std::vector<Item> RunInstall() {
        Inbox inbox;
        std::thread worker(Install, choices);
        auto items = inbox.UntilDone();
        worker.join();
        auto rest = inbox.Drain();
        items.insert(items.end(), rest.begin(), rest.end());
        return items;
    }

    // The one kMsgDone of a run, checked to be the only one and the last.
    static const Item& Done(const std::vector<Item>& items) {
        int count = 0;
        for (const auto& i : items) count += i.msg == kMsgDone;
        EXPECT_EQ(count, 1);
        EXPECT_EQ(items.back().msg, kMsgDone);
        return items.back();
    }

    std::vector<std::string> FileLog() { return LogLines(choices.installDir / "setup.log"); }

    TempDir dir;
    fs::path image;
    Choices choices;
};

const std::string kHeader = "Corvane Recompiled Setup, installing to ";
bool Header(const std::string& line, const fs::path& dir) {  // then the version and time
    return line.starts_with(kHeader + dir.string() + "; version ");
}

TEST_F(InstallTest, MissingSourceEndsRightAfterHeader) {
    choices.source = dir / "nowhere.iso";
    auto items = RunInstall();
    const Item& done = Done(items);
    EXPECT_EQ(done.wParam, 0);
    EXPECT_EQ(done.text, PathText(choices.source) + L" doesn't exist.");
    EXPECT_EQ(done.log, choices.installDir / "setup.log");
    auto lines = FileLog();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(Header(lines[0], choices.installDir)) << lines[0];
    EXPECT_EQ(lines[1], Narrow(done.text));
}

TEST_F(InstallTest, LinksToNothingAreMissing) {
    const fs::path link = dir / "link";
    const std::wstring made = L"Couldn't create ",
                       nowhere = L" is a symbolic link to " + PathText(dir / "gone") +
                                 L", which doesn't exist. Create that folder, or choose another.";
    const struct {
        const char* name;
        fs::path link;
        fs::path source;
        std::wstring message;
        fs::path installDir = {};  // given as the install folder, when any
        fs::path to = {};          // the link's target, when not "gone"
    } cases[] = {
        {"source", dir / "link.iso", dir / "link.iso",
         PathText(dir / "link.iso") + L" doesn't exist."},
        {"default.xex",
         choices.installDir / "corvane-recomp/game/extracted/default.xex",
         {},
         L"Choose your Corvane disc image (.iso) or extracted disc folder first."},
        {"folder/", link, image, made + PathText(link / "") + L": it" + nowhere, link / ""},
        {"folder/sub", link, image,
         made + PathText(link / "sub") + L": " + PathText(link) + nowhere, link / "sub"},
        {"loop", link, image,
         made + PathText(link) + L": it is a loop of symbolic links. Choose another folder.", link,
         link},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::error_code ec;
        fs::remove(c.link, ec);
        fs::create_directories(c.link.parent_path());
        fs::create_symlink(c.to.empty() ? dir / "gone" : c.to, c.link, ec);
        if (ec) GTEST_SKIP() << "this system can't make a symbolic link: " << ec.message();
        choices.source = c.source;
        if (!c.installDir.empty()) choices.installDir = c.installDir;
        EXPECT_EQ(Done(RunInstall()).text, c.message);
    }
}

TEST_F(InstallTest, RelativePathsAreReadFromTheStartingFolder) {
    fs::path start = fs::current_path();
    fs::current_path(dir.path());
    choices.installDir = "relinst";
    choices.source = image.filename();
    auto items = RunInstall();
    fs::current_path(start);
    auto lines = LogLines(dir / "relinst" / "setup.log");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_TRUE(Header(lines[0], (dir / "relinst"))) << lines[0];
    EXPECT_NE(Done(items).text,
              L"Choose your Corvane disc image (.iso) or extracted disc folder first.");
}

TEST_F(InstallTest, EmptySourceIsMissingToo) {
    choices.source.clear();
    EXPECT_EQ(Done(RunInstall()).text,
              L"Choose your Corvane disc image (.iso) or extracted disc folder first.");
}

TEST_F(InstallTest, InstallFolderThatIsAFileCannotBeCreated) {
    WriteBytes(choices.installDir, "a file");
    auto items = RunInstall();
    const Item& done = Done(items);
    EXPECT_EQ(done.wParam, 0);
    // The system's reason follows, then a full stop.
    std::wstring start = L"Couldn't create " + PathText(choices.installDir) + L": ";
    EXPECT_EQ(done.text.substr(0, start.size()), start);
    EXPECT_GT(done.text.size(), start.size() + 1);
    EXPECT_EQ(done.text.back(), L'.');
    EXPECT_TRUE(done.log.empty());  // nothing was written to a file
    EXPECT_EQ(ReadBytes(choices.installDir), "a file");
    // The message still reaches the window's log.
    EXPECT_EQ(Texts(items, kMsgLog).back(), done.text);
}

// Only another run's hold stops a run, and then it writes nothing in the
// folder; a program that merely has the lock file open (a backup, a
// scanner) doesn't.
TEST_F(InstallTest, OnlyAnotherRunHoldsTheFolder) {
    const fs::path lock = LayoutOf(choices.installDir).lock;
    const struct {
        const char* holder;
        bool stops;
    } cases[] = {{"another run", true}, {"a reader", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.holder);
        fs::remove_all(choices.installDir);
        fs::create_directories(choices.installDir);
        WriteBytes(lock, "");
        std::optional<os::FolderLock> run;
        std::optional<std::ifstream> reader;
        if (c.stops) {
            run.emplace(lock);
            ASSERT_FALSE(run->Busy());
        } else {
            reader.emplace(lock);
            ASSERT_TRUE(reader->is_open());
        }
        choices.source = dir / "nowhere.iso";
        auto items = RunInstall();
        const std::wstring busy = L"Another Corvane Recompiled Setup is already working in " +
                                  PathText(choices.installDir) + L".";
        if (c.stops) {
            EXPECT_EQ(Done(items).text, busy);
            EXPECT_FALSE(Exists(choices.installDir / "setup.log"));
        } else {
            EXPECT_EQ(Done(items).text, PathText(choices.source) + L" doesn't exist.");
            EXPECT_EQ(FileLog().size(), 2u);
        }
    }
}

TEST_F(InstallTest, RunsAppendToOneLogEachWithItsHeader) {
    choices.source = dir / "nowhere.iso";
    RunInstall();
    RunInstall();
    auto lines = FileLog();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(Header(lines[0], choices.installDir)) << lines[0];
    EXPECT_TRUE(Header(lines[2], choices.installDir)) << lines[2];
}

TEST_F(InstallTest, LogFileIsClosedAfterTheRun) {
    choices.source = dir / "nowhere.iso";
    RunInstall();
    Inbox inbox;
    Log(L"after the run");
    EXPECT_EQ(FileLog().size(), 2u);
}

TEST_F(InstallTest, UnwritableLogStillCompletesTheRun) {
    choices.source.clear();
    fs::create_directories(choices.installDir / "setup.log");  // can't be opened as a file
    auto items = RunInstall();
    EXPECT_EQ(Done(items).text,
              L"Choose your Corvane disc image (.iso) or extracted disc folder first.");
    EXPECT_TRUE(fs::is_directory(choices.installDir / "setup.log"));
    EXPECT_TRUE(Header(Narrow(Texts(items, kMsgLog).front()), choices.installDir));
}

struct SpaceCase {
    const char* name;
    bool extracted;
    std::optional<std::uint64_t> free;
    bool answer;
    const wchar_t* figures;  // the question after the drive's name; nullptr: no question
    int shortBy;             // a No's gigabytes to free; 0: not stopped
};

bool EndsWith(const std::wstring& text, const std::wstring& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST_F(InstallTest, DiskSpaceQuestion) {
    const SpaceCase cases[] = {
        {"plenty", false, 13 * kGiB, false, nullptr, 0},
        {"exactly 12", false, 12 * kGiB, false, nullptr, 0},
        {"unknown", false, std::nullopt, false, nullptr, 0},
        {"a full drive", false, 0, false,
         L" has 0.0 GB free; about 12 GB is needed. Continue anyway?", 12},
        {"low, no", false, 11 * kGiB / 2, false,
         L" has 5.5 GB free; about 12 GB is needed. Continue anyway?", 7},
        {"low, yes", false, 11 * kGiB / 2, true,
         L" has 5.5 GB free; about 12 GB is needed. Continue anyway?", 0},
        {"extracted, enough", true, 7 * kGiB, false, nullptr, 0},
        {"extracted, low", true, 11 * kGiB / 2, false,
         L" has 5.5 GB free; about 6 GB is needed. Continue anyway?", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir install;
        choices.installDir = install / "x";
        if (c.extracted)
            WriteBytes(choices.installDir / "corvane-recomp/game/extracted/default.xex", "");
        s_free = c.free;
        s_answer = c.answer;
        s_questions.clear();
        auto items = RunInstall();
        // The figures and the answer; in setup.log too once a new folder is made.
        auto shown = Texts(items, kMsgLog);
        std::wstring drive = os::DriveOf(install.path());
        if (c.figures) {
            ASSERT_EQ(s_questions.size(), 1u);
            EXPECT_TRUE(EndsWith(s_questions[0], c.figures)) << Narrow(s_questions[0]);
            EXPECT_EQ(shown.at(1), L"Free space on " + drive + L": " + std::to_wstring(*c.free) +
                                       L" bytes; needed: " +
                                       std::to_wstring((c.extracted ? 6 : 12) * kGiB) + L" bytes");
            EXPECT_EQ(shown.at(2), std::wstring(L"Asked whether to continue with less space: ") +
                                       (c.answer ? L"Yes" : L"No"));
            EXPECT_TRUE(c.shortBy || FileLog().at(2) == Narrow(shown.at(2)));
        } else {
            EXPECT_TRUE(s_questions.empty());
        }
        // A No is no failure: what to change, and nothing made in a new folder.
        const Item& done = Done(items);
        if (c.shortBy) {
            EXPECT_EQ(done.wParam, kDeclinedSpace);
            EXPECT_TRUE(done.text.starts_with(L"Choose a folder on another drive, or free " +
                                              std::to_wstring(c.shortBy) + L" GB on "));
            EXPECT_TRUE(EndsWith(done.text, drive + L".")) << Narrow(done.text);
            EXPECT_EQ(Exists(choices.installDir), c.extracted);
        } else {
            EXPECT_FALSE(done.text.starts_with(L"Choose a folder on another drive"));
        }
    }
}

// What the source is, found out before the first download: each row ends the
// run with its message right after the header, or, for an image without a
// disc's header, with the question first.
TEST_F(InstallTest, SourceIsCheckedBeforeTheTools) {
    const std::wstring odd = L" doesn't look like an Xbox 360 disc image.";
    const struct {
        const char* name;
        std::function<fs::path(const fs::path&)> make;  // the source, made under a folder
        std::wstring message;                           // after the path; empty: passes
        bool asked;
        bool yes;
        bool hasCause;
    } cases[] = {
        {"nowhere", [](const fs::path& d) { return d / "nowhere.iso"; }, L" doesn't exist.", false,
         false, false},
        {"folder without default.xex",
         [](const fs::path& d) {
             WriteBytes(d / "disc" / "levels.bin", "x");
             return d / "disc";
         },
         L" isn't an extracted disc: default.xex isn't in it.", false, false, false},
        {"folder with a folder named default.xex",
         [](const fs::path& d) {
             WriteBytes(d / "disc" / "default.xex" / "inside", "x");
             return d / "disc";
         },
         L" isn't an extracted disc: default.xex isn't in it.", false, false, false},
        {"image of 17 bytes",
         [](const fs::path& d) {
             WriteBytes(d / "small.iso", "not really a disc");
             return d / "small.iso";
         },
         L" isn't a disc image Setup can read.", false, false, true},
        {"no header, answered no",
         [](const fs::path& d) {
             WriteSized(d / "blank.iso", 2 << 20);
             return d / "blank.iso";
         },
         odd, true, false, false},
        {"no header, answered yes",
         [](const fs::path& d) {
             WriteSized(d / "blank.iso", 2 << 20);
             return d / "blank.iso";
         },
         L"", true, true, false},
        {"header of the second layout",
         [](const fs::path& d) {
             WriteDiscImage(d / "xgd2.iso", 0xFD90000);
             return d / "xgd2.iso";
         },
         L"", false, false, false},
        {"header one byte off",
         [](const fs::path& d) {
             WriteDiscImage(d / "off.iso", 1);
             return d / "off.iso";
         },
         odd, true, false, false},
        {"header with its last byte off",
         [](const fs::path& d) {
             WriteDiscImage(d / "medix.iso");
             std::fstream out(d / "medix.iso", std::ios::binary | std::ios::in | std::ios::out);
             out.seekp(0x10000 + 19);
             out << 'X';  // MICROSOFT*XBOX*MEDIX
             return d / "medix.iso";
         },
         odd, true, false, false},
        {"extracted folder",
         [](const fs::path& d) {
             WriteBytes(d / "disc" / "default.xex", "XEX2");
             return d / "disc";
         },
         L"", false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir run;
        choices.source = c.make(run.path());
        choices.installDir = run / "install";
        s_odd.clear();
        s_useOdd = c.yes;
        auto items = RunInstall();
        const Item& done = Done(items);
        std::wstring question = PathText(choices.source) + odd + L" Use it anyway?";
        EXPECT_EQ(s_odd,
                  c.asked ? std::vector<std::wstring>{question} : std::vector<std::wstring>{});
        auto lines = FileLog();
        if (c.asked && !c.yes) {
            // No failure: the new folder is left unmade.
            EXPECT_EQ(done.wParam, kDeclinedSource);
            EXPECT_EQ(done.text, PathText(choices.source) + c.message);
            EXPECT_FALSE(Exists(choices.installDir));
            continue;
        }
        ASSERT_GE(lines.size(), 2u);
        if (c.message.empty()) {
            // Past the source: the run goes on to the tools.
            EXPECT_EQ(lines[1], "== Checking the tools");
            continue;
        }
        EXPECT_EQ(done.text, PathText(choices.source) + c.message);
        EXPECT_EQ(done.cause.empty(), !c.hasCause) << Narrow(done.cause);
        EXPECT_EQ(lines.back(), Narrow(done.text));
        EXPECT_EQ(lines.size(), c.hasCause ? 3u : 2u);
    }
}

TEST(SpaceQuestion, NamesTheDriveWithATenthBelowTenGigabytes) {
    const struct {
        const wchar_t* drive;
        std::uint64_t free, needed;
        const wchar_t* question;
    } cases[] = {
        {L"C:", 300ull << 20, 12 * kGiB,
         L"Drive C: has 0.3 GB free; about 12 GB is needed. Continue anyway?"},
        {L"D:", 0, 6 * kGiB, L"Drive D: has 0.0 GB free; about 6 GB is needed. Continue anyway?"},
        {L"/home", 9 * kGiB + kGiB / 2, 12 * kGiB,
         L"The drive mounted at /home has 9.5 GB free; about 12 GB is needed. Continue anyway?"},
        // Whole gigabytes from 10 on, rounded down as before.
        {L"C:", 11 * kGiB + kGiB * 9 / 10, 12 * kGiB,
         L"Drive C: has 11 GB free; about 12 GB is needed. Continue anyway?"},
        // Rounding never reaches the figure needed.
        {L"C:", 6 * kGiB - 1, 6 * kGiB,
         L"Drive C: has 5.9 GB free; about 6 GB is needed. Continue anyway?"},
        {L"\\\\server\\share\\", kGiB, 12 * kGiB,
         L"The drive mounted at \\\\server\\share\\ has 1.0 GB free; about 12 GB is needed. "
         L"Continue anyway?"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SpaceQuestion(c.drive, c.free, c.needed), c.question) << Narrow(c.question);
}

TEST_F(InstallTest, ExtractedGameNeedsNoSource) {
    choices.source.clear();
    WriteBytes(choices.installDir / "corvane-recomp/game/extracted/default.xex", "");
    auto items = RunInstall();
    EXPECT_NE(Done(items).text,
              L"Choose your Corvane disc image (.iso) or extracted disc folder first.");
}

std::optional<std::uint64_t> Throws(const fs::path&) {
    throw std::runtime_error("disk query broke");
}
std::optional<std::uint64_t> Cancels(const fs::path&) {
    Cancel();
    CheckCancel();
    return 0;
}

TEST_F(InstallTest, StandardExceptionBecomesUnexpectedError) {
    fs::create_directories(choices.installDir);  // so that setup.log is written
    s_freeBytes = Throws;
    auto items = RunInstall();
    const Item& done = Done(items);
    EXPECT_EQ(done.wParam, 0);
    EXPECT_EQ(done.text, L"Unexpected error: disk query broke");
    EXPECT_EQ(FileLog().back(), "Unexpected error: disk query broke");
}

TEST_F(InstallTest, CancelEndsWithCancelled) {
    fs::create_directories(choices.installDir);  // so that setup.log is written
    s_freeBytes = Cancels;
    auto items = RunInstall();
    const Item& done = Done(items);
    EXPECT_EQ(done.wParam, 0);
    EXPECT_EQ(done.text, L"Cancelled.");
    EXPECT_EQ(FileLog().back(), "Cancelled.");
}

}  // namespace
}  // namespace setup::test
