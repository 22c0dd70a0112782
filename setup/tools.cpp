#include "tools.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <fstream>
#include <mutex>

#include "facts.h"
#include "files.h"
#include "http.h"
#include "last_error.h"
#include "maintenance.h"
#include "os.h"
#include "part.h"
#include "request_failure.h"
#include "urls.h"

namespace setup {

namespace {

// The Store's app aliases there only open the Store. Windows compares PATH
// entries without regard to letter case, and "windowsapps" does occur.
bool InWindowsApps(std::wstring entry) {
    for (wchar_t& c : entry) c = std::towlower(c);
    return entry.find(L"windowsapps") != std::wstring::npos;
}

// The tool's executable reached through an entry of the PATH, or an empty path.
fs::path OnPath(const std::wstring& exe) {
    std::wstring path = os::GetEnv(L"PATH");
    std::size_t begin = 0;
    while (begin <= path.size()) {
        std::size_t end = path.find(kPathSeparator, begin);
        if (end == std::wstring::npos) end = path.size();
        std::wstring entry = path.substr(begin, end - begin);
        begin = end + 1;
        if (entry.empty() || InWindowsApps(entry)) continue;
        fs::path candidate = ToPath(entry) / ToPath(exe);
        if (Exists(candidate)) return candidate;
    }
    return {};
}

// Tools unpacked side by side come here from their own threads: each reads
// the PATH and writes it back, and none may lose another's folder.
std::mutex s_pathLock;
// The folders this stage has put in front of the PATH, in the order they
// stand there, each with its tool's place in the table.
std::vector<std::pair<std::size_t, std::wstring>> s_front;

// Where the tool stands in the table; one outside it goes first.
std::size_t RankOf(const Tool& tool) {
    const std::vector<Tool>& table = ToolTable();
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i].name == tool.name) return i;
    return table.size();
}

// The folders go in front in the table's order, the later tools first, as
// they would one after the other, whichever unpack finishes first: a build
// sees the same PATH on every run.
void PutInFront(const Tool& tool, const fs::path& folder) {
    std::lock_guard<std::mutex> hold(s_pathLock);
    std::wstring path = os::GetEnv(L"PATH"), front;
    for (const auto& each : s_front) front += each.second + kPathSeparator;
    // Changed by someone else since: what is there stays behind the folders.
    if (path.compare(0, front.size(), front) != 0) {
        s_front.clear();
        front.clear();
    }
    std::size_t rank = RankOf(tool);
    auto at = std::find_if(s_front.begin(), s_front.end(),
                           [rank](const auto& each) { return each.first <= rank; });
    s_front.insert(at, {rank, PathText(folder)});
    std::wstring joined;
    for (const auto& each : s_front) joined += each.second + kPathSeparator;
    os::SetEnv(L"PATH", joined + path.substr(front.size()));
}

// A new stage puts its folders in front of what the PATH is then.
void NewFront() {
    std::lock_guard<std::mutex> hold(s_pathLock);
    s_front.clear();
}

// Where a tool is unpacked before it is whole: beside its folder.
fs::path Staging(const fs::path& home) {
    fs::path staging = home;
    staging += ".partial";
    return staging;
}

// What the unpack made that has no place in a tool (a device node, a pipe),
// or a folder of it that can't be read; empty when it made only folders,
// files and links.
std::wstring Unusable(const fs::path& folder) {
    std::wstring what;
    bool listed = os::Walk(folder, os::kAnyDepth, [&](const fs::path& path, os::Kind kind) {
        if (kind == os::Kind::kOther)
            what = PathText(path.lexically_relative(folder)) + L" is neither a file nor a folder";
        return what.empty();
    });
    if (!listed && what.empty()) what = L"a folder of it couldn't be read";
    return what;
}

// An unpack that failed in a folder deeper than the archive tool can work in
// ends the run saying so, not blaming the archive.
void TooDeep(const Tool& tool, const fs::path& staging) {
    std::wstring path = PathText(staging);
    if (kUnpackFolderLimit == 0 || path.size() <= kUnpackFolderLimit) return;
    os::Delete(staging);
    Fail(L"Couldn't unpack " + tool.name +
         L": the system's tar.exe can't work in a folder "
         L"whose path is longer than " +
         std::to_wstring(kUnpackFolderLimit) + L" characters, and " + path +
         L" is. Choose an install folder with a shorter path.");
}

// The archive tool's words for a full drive: the C library's on both
// systems, and Windows' own.
bool Full(const std::wstring& cause) {
    return cause.find(L"No space left on device") != std::wstring::npos ||
           cause.find(L"not enough space on the disk") != std::wstring::npos;
}

// Moves the tool into its folder only once the unpack succeeded and the
// executable is there, so that a tool stopped half-way is never found.
fs::path Unpack(const Tool& tool, const fs::path& archive, const fs::path& home, bool beside) {
    if (beside) {
        Log(tool.name + L": unpacking");
    } else {
        Status(L"Unpacking " + tool.name);
        PostProgress(-1);
    }
    fs::path staging = Staging(home);
    DeleteOrFail(staging);
    std::error_code ec;
    fs::create_directories(staging, ec);
    // Windows' tar.exe reads its arguments in the ANSI code page, mangling a
    // character outside it, and can't change into a folder past 260
    // characters: it gets only the names we made, from the folder they are in.
    std::wstring command = Quote(SystemTar()) + kUnpackOptions + L" -xf " +
                           Quote(archive.filename()) + L" -C " + Quote(staging.filename());
    int code = 0;
    LastError tar;
    try {
        code = Run(command, staging.parent_path(), tar.Handler());
    } catch (const NotStarted&) {
        TooDeep(tool, staging);
        Fail(L"Couldn't unpack " + tool.name + L" (" + kUnpackNeeds + L").");
    }
    if (code != 0) TooDeep(tool, staging);
    std::wstring unusable = code != 0 ? tar.Cause() : Unusable(staging);
    if (code != 0 || !unusable.empty()) {
        os::Delete(staging);
        if (code != 0 && Full(unusable))
            Fail(L"There isn't enough free space on " + os::DriveOf(home.parent_path()) +
                     L" to unpack " + tool.name + L".",
                 unusable);
        // It stays to be looked at, but the next run downloads it again.
        DropRecord(archive);
        Fail(L"Couldn't unpack " + tool.name + L": the archive is damaged or unsafe.", unusable);
    }
    DropArchive(archive);
    fs::path found = FindUnder(staging, tool.exe.c_str());
    if (found.empty()) Fail(tool.name + L" didn't contain " + tool.exe + L".");
    DeleteOrFail(home);
    MoveOrFail(staging, home, tool.name);
    return home / found.lexically_relative(staging);
}

// A download that failed: the user's cancel, a disk problem, or the network.
// What arrived stays (with its record, a later run resumes it).
[[noreturn]] void NotDownloaded(const Tool& tool, const fs::path& part, const std::wstring& url,
                                const Answer& answer) {
    fs::path folder = part.parent_path();
    if (answer.trouble == Trouble::kNoSpace || answer.trouble == Trouble::kNoWrite) DropPart(part);
    CheckCancel();
    if (answer.trouble == Trouble::kNoSpace)
        Fail(L"There isn't enough free space on " + os::DriveOf(folder) + L" to download " +
                 tool.name +
                 (answer.size ? L" (" + mosk::maintenance::SizeText(answer.size) + L")" : L"") +
                 L".",
             answer.cause);
    if (answer.trouble == Trouble::kNoWrite)
        Fail(L"Setup can't write to " + PathText(folder) + L": " + answer.reason + L".",
             answer.cause);
    FailRequest(answer, urls::HostOf(url), L"Couldn't download " + tool.name + L".");
}

// The archive is what was published: an archive by its first bytes, and the
// publisher's digest when there is one. A refused one is deleted.
void Verify(const Tool& tool, const fs::path& archive, const Asset& asset, const Answer& answer) {
    char head[6] = {};
    std::ifstream(archive, std::ios::binary).read(head, sizeof head);
    if (!IsArchive(std::string(head, sizeof head))) {
        os::Delete(archive);
        Fail(L"The download of " + tool.name +
             L" isn't an archive (a network sign-in page or a proxy may have answered instead).");
    }
    if (!asset.unknown.empty()) {
        Log(tool.name + L": a checksum of an unknown kind (" + Widen(asset.unknown) +
            L") was published; it isn't checked");
    } else if (asset.hash == Hash::kNone) {
        Log(tool.name + L": no checksum published for this download");
    } else if (answer.digest != asset.digest) {
        os::Delete(archive);
        Fail(L"The download of " + tool.name +
             L" was damaged (its checksum doesn't match). Try again.");
    }
}

// "Resuming CMake at 15 MB": the part's size as a download's status shows it.
std::wstring ResumingText(const std::wstring& name, std::uint64_t size) {
    wchar_t text[256];
    std::swprintf(text, 256, L"Resuming %ls at %.0f MB", name.c_str(), size / 1048576.0);
    text[255] = L'\0';
    return text;
}

fs::path HomeOf(const Tool& tool, const fs::path& tools) {
    return tools / ToPath(tool.name);
}

// A folder where the archive goes (made by hand, or by another program)
// would refuse every finished download of the tool: it is moved aside.
void MoveAside(const Tool& tool, const fs::path& archive) {
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(archive, ec))) return;
    fs::path aside = archive;
    aside += ".folder";
    MoveOrFail(archive, aside, L"the folder " + PathText(archive));
    Log(tool.name + L": " + PathText(archive) + L" was a folder; moved it aside to " +
        PathText(aside));
}

void Use(const Tool& tool, const fs::path& found) {
    Log(tool.name + L": " + PathText(found));
    PutInFront(tool, found.parent_path());
}

}  // namespace

fs::path FindUnder(const fs::path& folder, const wchar_t* file) {
    fs::path wanted = ToPath(file), found;
    os::Walk(folder, 3, [&](const fs::path& path, os::Kind kind) {
        if (kind == os::Kind::kFolder || path.filename() != wanted) return true;
        found = path;
        return false;
    });
    return found;
}

bool Missing(const Tool& tool, const fs::path& tools) {
    return OnPath(tool.exe).empty() && FindUnder(HomeOf(tool, tools), tool.exe.c_str()).empty();
}

bool Settled(const Tool& tool, const fs::path& tools) {
    CheckCancel();
    fs::path home = HomeOf(tool, tools);
    // What an unpack stopped half-way left; one that stays is tried again
    // before an unpack.
    os::Delete(Staging(home));
    fs::path onPath = OnPath(tool.exe);
    if (!onPath.empty()) {
        Log(tool.name + L": using " + PathText(onPath));
        return true;
    }
    fs::path found = FindUnder(home, tool.exe.c_str());
    if (found.empty()) return false;
    Use(tool, found);
    return true;
}

// Downloads into <Name>.zip.part, which becomes <Name>.zip once it is whole
// and verified; a part an earlier run left for the same URL is continued.
// With a progress, the download is one job of several.
fs::path DownloadTool(const Tool& tool, const fs::path& tools, const Asset& asset,
                      const Progress& progress, const std::function<void()>& retrying) {
    Log(tool.name + L": downloading " + asset.url);
    fs::path archive = tools / ToPath(tool.name + L".zip");
    fs::path part = PartOf(archive);
    MoveAside(tool, archive);
    Answer answer;
    // Without a published digest, our own: the record keeps it, and a later
    // run reads the kept archive again against it.
    answer.hash = asset.hash != Hash::kNone ? asset.hash : Hash::kSha256;
    answer.kept = KeptFor(part, asset.url);
    answer.kept.record = true;
    answer.progress = progress;
    answer.retrying = retrying;
    if (answer.kept.size) Note(ResumingText(tool.name, answer.kept.size), bool(progress));
    // Its first report is where it starts: bytes kept from before take no time now.
    if (progress) progress(answer.kept.size, answer.kept.length);
    if (!Get(asset.url, nullptr, &part, tool.name.c_str(), &answer))
        NotDownloaded(tool, part, asset.url, answer);
    DropRecord(part);
    Verify(tool, part, asset, answer);
    MoveOrFail(part, archive, L"the download of " + tool.name);
    MarkVerified(archive, answer.hash, answer.digest);
    return archive;
}

fs::path VerifiedArchive(const Tool& tool, const fs::path& tools) {
    fs::path archive = tools / ToPath(tool.name + L".zip");
    Keep keep = Recheck(archive);
    if (keep == Keep::kChanged) {
        // Whatever it holds now goes when the new download takes its name.
        DropRecord(archive);
        Log(tool.name + L": " + PathText(archive) +
            L" isn't the archive an earlier run verified (damaged, replaced or removed since); "
            L"downloading it again");
    }
    if (keep != Keep::kWhole) return {};
    Log(tool.name + L": unpacking the archive an earlier run downloaded and verified, " +
        PathText(archive));
    return archive;
}

void Place(const Tool& tool, const fs::path& archive, bool beside) {
    Use(tool, Unpack(tool, archive, HomeOf(tool, archive.parent_path()), beside));
}

fs::path MakeToolsFolder(const fs::path& installDir) {
    Status(L"Checking the tools");
    NewFront();
    fs::path tools = LayoutOf(installDir).tools;
    std::error_code ec;
    fs::create_directories(tools, ec);
    return tools;
}

void Tools(const fs::path& installDir, const std::vector<Tool>& table) {
    fs::path tools = MakeToolsFolder(installDir);
    for (const Tool& tool : table) {
        if (Settled(tool, tools)) continue;
        fs::path archive = VerifiedArchive(tool, tools);
        if (archive.empty()) archive = DownloadTool(tool, tools, tool.source(), {});
        Place(tool, archive, false);
    }
}

void Tools(const fs::path& installDir) {
    Tools(installDir, ToolTable());
}

}  // namespace setup
