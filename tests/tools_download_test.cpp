// The tool stage and the release lookup against the stand-in web: real
// downloads from the local server, real archives, the system's tar (a
// stand-in tar.exe in the Wine prefix's system folder on Windows).
#include <gtest/gtest.h>

#include <cwctype>
#include <thread>

#include "facts.h"
#include "inbox.h"
#include "os.h"
#include "part.h"
#include "releases.h"
#include "server.h"
#include "standin.h"
#include "temp.h"
#include "tools.h"
#include "undeletable.h"
#include "urls.h"

namespace setup::test {
namespace {

using Lines = std::vector<std::wstring>;

// Points the lookups at the stand-in and puts back what a test changes.
class Standin : public ::testing::Test {
  protected:
    void SetUp() override {
        savedPath = os::GetEnv(L"PATH");
        savedApi = urls::GithubApi();
        savedNuget = urls::Nuget();
        urls::SetGithubApi(standin::Base());
        urls::SetNuget(standin::Base());
        s_cancel = false;
    }
    void TearDown() override {
        os::SetEnv(L"PATH", savedPath);
        urls::SetGithubApi(savedApi);
        urls::SetNuget(savedNuget);
        s_cancel = false;
    }

    std::wstring savedPath, savedApi, savedNuget;
    TempDir dir;
};

class HttpTools : public Standin {
  protected:
    // Runs the stage over `install`; its log lines, any failure in `error`.
    Lines Stage(const std::vector<Tool>& table, const fs::path& install) {
        Inbox inbox;
        error = FailureOf([&] { Tools(install, table); });
        return Texts(inbox.Drain(), kMsgLog);
    }

    // The table's row of that name, with another source when given.
    static Tool Row(const wchar_t* name, std::function<Asset()> source = {}) {
        for (Tool tool : ToolTable())
            if (tool.name == name) {
                if (source) tool.source = std::move(source);
                return tool;
            }
        ADD_FAILURE() << "no row " << Narrow(name);
        return {};
    }

    fs::path install = dir.path() / fs::path(u8"install é Ā");
    fs::path tools = install / "tools";
    std::wstring error;
};

// A pattern that matches exactly that file name.
std::string Literal(const std::string& name) {
    std::string pattern;
    for (char c : name) pattern += c == '.' ? std::string("\\.") : std::string(1, c);
    return pattern;
}

fs::path Below(const fs::path& folder, const std::string& relative) {
    return (folder / relative).make_preferred();
}

// The log of a run that downloads every tool the PATH lacks.
Lines DownloadLog(const standin::Start& start, const fs::path& tools) {
    Lines lines{L"== Checking the tools"};
    if (!start.git.empty()) lines.push_back(start.git);
    for (const auto& tool : standin::Fetches()) {
        fs::path home = tools / ToPath(tool.name);
        lines.push_back(tool.name + L": downloading " + standin::Base() + tool.url);
        // The stand-in publishes every digest but Ninja's, as for an older release.
        if (tool.name == L"Ninja")
            lines.push_back(L"Ninja: no checksum published for this download");
        lines.push_back(L"== Unpacking " + tool.name);
        lines.push_back(L"$ " + Quote(SystemTar()) + kUnpackOptions + L" -xf " +
                        Quote(ToPath(tool.name + L".zip")) + L" -C " +
                        Quote(ToPath(tool.name + L".partial")));
        lines.push_back(tool.name + L": " + PathText(Below(home, tool.found)));
    }
    return lines;
}

// The PATH after the stage: the tools' folders, last settled first.
std::wstring PathAfter(const standin::Start& start, const fs::path& tools) {
    std::wstring path;
    for (const auto& tool : standin::Fetches())
        path = PathText(Below(tools / ToPath(tool.name), tool.found).parent_path()) +
               kPathSeparator + path;
    return path + start.path;
}

TEST_F(HttpTools, MissingToolsAreDownloadedUnpackedAndPutOnThePath) {
    standin::Start start = standin::StartPath(dir / "start");
    os::SetEnv(L"PATH", start.path);
    Lines lines = Stage(ToolTable(), install);
    ASSERT_EQ(error, L"");
    EXPECT_EQ(lines, DownloadLog(start, tools));
    EXPECT_EQ(os::GetEnv(L"PATH"), PathAfter(start, tools));
    // Only the tools' folders are left: every archive was deleted.
    for (const auto& entry : fs::directory_iterator(tools))
        EXPECT_TRUE(entry.is_directory()) << entry.path();
    // Child processes now find each downloaded tool by its name.
    for (const auto& tool : standin::Fetches()) {
        EXPECT_TRUE(fs::is_regular_file(Below(tools / ToPath(tool.name), tool.found)))
            << tool.found;
        std::string first;
        auto take = [&first](const std::string& line) {
            if (first.empty()) first = line;
        };
        EXPECT_EQ(setup::Run(tool.command, {}, take), 0) << Narrow(tool.command);
        EXPECT_EQ(first, tool.says) << Narrow(tool.command);
    }
}

TEST_F(HttpTools, ASecondRunDownloadsNothingAndPutsTheFoldersInFrontAgain) {
    standin::Start start = standin::StartPath(dir / "start");
    os::SetEnv(L"PATH", start.path);
    Stage(ToolTable(), install);
    ASSERT_EQ(error, L"");
    std::wstring after = os::GetEnv(L"PATH");

    // A new process starts from the PATH it had, and any lookup would fail.
    os::SetEnv(L"PATH", start.path);
    urls::SetGithubApi(L"http://127.0.0.1:9");
    urls::SetNuget(L"http://127.0.0.1:9");
    Lines lines = Stage(ToolTable(), install);
    EXPECT_EQ(error, L"");
    Lines want{L"== Checking the tools"};
    if (!start.git.empty()) want.push_back(start.git);
    for (const auto& tool : standin::Fetches())
        want.push_back(tool.name + L": " + PathText(Below(tools / ToPath(tool.name), tool.found)));
    EXPECT_EQ(lines, want);
    EXPECT_EQ(os::GetEnv(L"PATH"), after);
}

std::wstring Upper(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
    return text;
}

TEST_F(HttpTools, ADownloadThatDoesntGiveTheToolEndsTheRunNamingIt) {
    const std::wstring exe = Row(L"Ninja").exe;
    const std::wstring contain = L"Ninja didn't contain " + exe + L".";
    const std::wstring refused = L"Couldn't unpack Ninja: the archive is damaged or unsafe.";
    struct Case {
        const char* repo;      // its latest release; none: the download is missing
        std::wstring message;  // the run's end
        std::wstring left;     // what the unpack left in its staging folder
        bool archiveStays;     // as it was served (the missing one: empty)
    } cases[] = {
        {"corvane-test/deep", contain, L"a/b/c/d/" + exe, false},
        {"corvane-test/case", contain, L"bin/" + Upper(exe), false},
        {"corvane-test/corrupt", refused, L"", true},
        {"corvane-test/unsafe", refused, L"", true},
        {"corvane-test/damaged",
         L"The download of Ninja was damaged (its checksum doesn't match). Try again.", L"", false},
        {"corvane-test/portal",
         L"The download of Ninja isn't an archive (a network sign-in page or a proxy may have "
         L"answered instead).",
         L"", false},
        {nullptr, L"Couldn't download Ninja.", L"", true},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.repo ? c.repo : "missing");
        fs::path install = dir / ("install" + std::to_string(++n));
        fs::path home = install / "tools" / "Ninja", archive = install / "tools" / "Ninja.zip";
        fs::path staging = install / "tools" / "Ninja.partial";
        std::string repo = c.repo ? c.repo : "";
        std::vector<Tool> table{Row(L"Ninja", [repo]() -> Asset {
            if (repo.empty()) return WebUrl("standin/download/corvane-test/missing/ninja.zip");
            return LatestAsset(repo.c_str(), Literal(standin::kNinjaAsset).c_str());
        })};
        os::SetEnv(L"PATH", PathText(dir / "empty"));
        Stage(table, install);
        EXPECT_EQ(error, c.message);
        // Never half there: the tool's folder is made only from a whole unpack.
        EXPECT_FALSE(Exists(home));
        if (!c.left.empty()) {
            EXPECT_TRUE(fs::is_regular_file(staging / ToPath(c.left)));
        }
        EXPECT_FALSE(Exists(install / "tools" / "escaped"));
        if (c.archiveStays) {
            std::string served;
            if (c.repo)
                served = ReadBytes(WebRoot() / "standin/download" / repo / standin::kNinjaAsset);
            // A download that failed stays as a part; an unpack's archive as it was.
            fs::path kept = c.repo ? archive : PartOf(archive);
            EXPECT_TRUE(Exists(kept));
            EXPECT_TRUE(ReadBytes(kept) == served);
        } else {
            EXPECT_FALSE(Exists(archive));
        }
        // Nothing of the failed tool reached the PATH.
        EXPECT_EQ(os::GetEnv(L"PATH"), PathText(dir / "empty"));
    }
}

// What an unpack stopped half-way left, and that can't be deleted, ends the
// run naming it: a fresh unpack on top would carry the leftovers into the tool.
TEST_F(HttpTools, AStagingFolderThatStaysIsNamedAndNeverUsed) {
    if (kWaitedOut) GTEST_SKIP() << "Setup waits out a held file here";
    fs::path staging = tools / "Ninja.partial";
    WriteBytes(staging / "held" / "stray", "");
    Undeletable held(staging / "held" / "stray");
    os::SetEnv(L"PATH", PathText(dir / "empty"));
    Stage({Row(L"Ninja")}, install);
    EXPECT_EQ(error.rfind(L"Couldn't delete " + PathText(staging) + L": ", 0), 0u) << Narrow(error);
    EXPECT_FALSE(Exists(tools / "Ninja" / "held" / "stray"));
}

// A kept archive is read again against its recorded digest: one damaged or
// replaced since (here by an empty tar of its size) is downloaded again, and
// a folder in its place is moved aside.
TEST_F(HttpTools, AKeptArchiveIsUnpackedOnlyAsItWasVerified) {
    const Tool ninja = Row(L"Ninja");
    const fs::path archive = tools / "Ninja.zip";
    os::SetEnv(L"PATH", PathText(dir / "empty"));
    for (int damage : {0, 1, 2}) {  // 64 bytes changed, zeros (an empty tar), a folder
        fs::remove_all(install);
        std::string bytes =
            ReadBytes(DownloadTool(ninja, MakeToolsFolder(install), ninja.source(), {}));
        fs::remove(archive);
        bytes.replace(bytes.size() / 2, 64, 64, 'Z');
        if (damage < 2) WriteBytes(archive, damage ? std::string(bytes.size(), '\0') : bytes);
        if (damage == 2) fs::create_directories(archive / "x");
        Lines lines = Stage({ninja}, install);
        EXPECT_EQ(error, L"");
        EXPECT_EQ(lines.at(2), L"Ninja: downloading " + ninja.source().url);
    }
    EXPECT_TRUE(Exists(tools / "Ninja.zip.folder" / "x"));
}

// A failed download's message says what happened, and its cause is the last
// attempt's reason.
TEST_F(HttpTools, AFailedDownloadCarriesItsReason) {
    const std::wstring server = ServerUrl("");
    const std::wstring host = server.substr(7, server.find(L'/', 7) - 7);
    struct Case {
        std::wstring url;
        std::wstring message, cause;
    } cases[] = {
        {ServerUrl("/status/404/ninja.zip"), L"Couldn't download Ninja.", L"status 404"},
        {ServerUrl("/status/503/ninja.zip"),
         host + L" answered with an error (503). Try again later.", L"status 503"},
        {ServerUrl("/ratelimit;code=429/1700000000/ninja.zip"), L"",
         L"status 429, the rate limit is used up"},
    };
    os::SetEnv(L"PATH", PathText(dir / "empty"));
    for (const Case& c : cases) {
        std::wstring url = c.url;
        std::vector<Tool> table{Row(L"Ninja", [url] { return Asset(url); })};
        Inbox inbox;
        Failed failed;
        try {
            Tools(install, table);
        } catch (const Failed& f) {
            failed = f;
        }
        if (!c.message.empty()) {
            EXPECT_EQ(failed.message, c.message) << Narrow(url);
        } else {
            EXPECT_TRUE(failed.message.starts_with(L"GitHub's limit of requests"))
                << Narrow(failed.message);
        }
        EXPECT_EQ(failed.cause, c.cause) << Narrow(url);
    }
}

// Waits until the download has posted its status; false after ten seconds.
bool Downloading(Inbox& inbox, std::vector<Item>& seen) {
    for (int i = 0; i < 1000; ++i) {
        for (Item& item : inbox.Drain()) {
            bool status = item.msg == kMsgStatus && item.text.rfind(L"Downloading Ninja", 0) == 0;
            seen.push_back(std::move(item));
            if (status) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST_F(HttpTools, ACancelDuringADownloadIsACancelNotAFailure) {
    os::SetEnv(L"PATH", PathText(dir / "empty"));
    // 400 bytes, 4 every 100 ms: ten seconds when nobody cancels.
    std::vector<Tool> table{
        Row(L"Ninja", [] { return ServerUrl("/drip?n=400&step=4&every=100"); })};
    Inbox inbox;
    std::thread worker([&] { error = FailureOf([&] { Tools(install, table); }); });
    std::vector<Item> seen;
    bool downloading = Downloading(inbox, seen);
    s_cancel = true;
    worker.join();
    for (Item& item : inbox.Drain()) seen.push_back(std::move(item));
    ASSERT_TRUE(downloading);
    EXPECT_EQ(error, L"Cancelled.");
    Lines lines = Texts(seen, kMsgLog);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), L"Ninja: downloading " + ServerUrl("/drip?n=400&step=4&every=100"));
    // What arrived stays; nothing was unpacked.
    EXPECT_GT(fs::file_size(tools / "Ninja.zip.part"), 0u);
    EXPECT_LT(fs::file_size(tools / "Ninja.zip.part"), 400u);
    EXPECT_FALSE(Exists(tools / "Ninja"));
}

class HttpReleases : public Standin {};

TEST_F(HttpReleases, LookupFailuresNameTheRepository) {
    const std::wstring offline = L"http://127.0.0.1:9";  // nothing listens there
    struct Case {
        std::wstring api;
        const char* repo;
        const char* pattern;
        std::wstring message;
    } cases[] = {
        {offline, "Kitware/CMake", R"(cmake\.zip)",
         L"Couldn't reach GitHub to find Kitware/CMake. Check the internet connection."},
        {standin::Base(), "corvane-test/missing", R"(ninja\.zip)",
         L"Couldn't reach GitHub to find corvane-test/missing. Check the internet connection."},
        {standin::Base(), "corvane-test/deep", R"(cmake-[0-9.]+-windows-x86_64\.zip)",
         L"No download of corvane-test/deep matched what Setup expects."},
        {standin::Base(), "tallowfen/corvane-recomp", R"(.*)",  // a release without assets
         L"No download of tallowfen/corvane-recomp matched what Setup expects."},
    };
    for (const Case& c : cases) {
        urls::SetGithubApi(c.api);
        EXPECT_EQ(FailureOf([&] { LatestAsset(c.repo, c.pattern); }), c.message) << c.repo;
    }
}

TEST_F(HttpReleases, NugetGivesTheNewestPython312Package) {
    Asset python = NugetPython();
    EXPECT_EQ(python.url,
              standin::Base() + L"/v3-flatcontainer/python/3.12.10/python.3.12.10.nupkg");
    // Its SHA-512, from the catalog entry that the registration leaf names.
    EXPECT_EQ(python.hash, Hash::kSha512);
    EXPECT_EQ(python.digest.size(), 64u);
}

// The catalog's algorithm is read without regard to case; a checksum that
// can't be fetched is logged, and the package goes on unverified.
TEST_F(HttpReleases, NugetChecksumsOfEveryForm) {
    struct Case {
        const char* prefix;
        Hash hash;
        std::string unknown;
        Lines log;
    } cases[] = {
        {"/nuget-lower", Hash::kSha512, "", {}},
        {"/nuget-md5", Hash::kNone, "MD5", {}},
        {"/nuget-nohash", Hash::kNone, "", {L"Python: no checksum could be fetched (status 404)"}},
    };
    for (const Case& c : cases) {
        urls::SetNuget(standin::Base() + Widen(c.prefix));
        Inbox inbox;
        Asset python = NugetPython();
        Lines log;
        for (const std::wstring& line : Texts(inbox.Drain(), kMsgLog))
            if (!line.starts_with(L"Couldn't get ")) log.push_back(line);
        EXPECT_EQ(python.url, standin::Base() + Widen(c.prefix) +
                                  L"/v3-flatcontainer/python/3.12.10/python.3.12.10.nupkg");
        EXPECT_EQ(python.hash, c.hash) << c.prefix;
        EXPECT_EQ(python.unknown, c.unknown) << c.prefix;
        if (c.hash == Hash::kSha512) {
            EXPECT_EQ(python.digest.size(), 64u) << c.prefix;
        }
        EXPECT_EQ(log, c.log) << c.prefix;
    }
}

TEST_F(HttpReleases, NugetFailuresNameTheDomain) {
    const std::wstring host = ServerUrl("").substr(std::wstring(L"http://").size());
    struct Case {
        std::wstring base;
        std::wstring message;
    } cases[] = {
        {standin::Base() + L"/nuget-old", L"No Python 3.12 package on " + host + L"."},
        {standin::Base() + L"/nowhere",
         L"Couldn't reach " + host + L" for Python. Check the internet connection."},
        {L"http://127.0.0.1:9",
         L"Couldn't reach 127.0.0.1:9 for Python. Check the internet connection."},
    };
    for (const Case& c : cases) {
        urls::SetNuget(c.base);
        EXPECT_EQ(FailureOf([] { NugetPython(); }), c.message) << Narrow(c.base);
    }
}

}  // namespace
}  // namespace setup::test
