// Renames and deletes in the install folder on Windows. Right after files are
// written an antivirus opens them to scan, and for a few seconds renaming or
// deleting them or their folder fails: each call waits such a program out.
// Every path goes in its \\?\ form, which no 260-character limit applies to,
// whether or not the system allows long paths to programs that ask.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <functional>

#include "os.h"
#include "setup.h"
#include "win.h"

namespace setup::os {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kFirstWait = 50ms;
constexpr auto kLongestWait = 1000ms;
constexpr auto kAtMost = 10s;

std::wstring SystemText(DWORD code) {
    std::wstring words = SystemWords(code);
    return words.empty() ? L"error " + std::to_wstring(code) : words;
}

// What a program that has the files open makes the system answer. A folder
// still "not empty" once everything in it was deleted holds files another
// program has open: they go only when it lets go of them.
bool Held(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
           error == ERROR_LOCK_VIOLATION || error == ERROR_DIR_NOT_EMPTY;
}

// Waits, looking at the user's cancel meanwhile; false once cancelled.
bool Wait(Clock::duration wait) {
    Clock::time_point end = Clock::now() + wait;
    while (!s_cancel.load()) {
        Clock::time_point now = Clock::now();
        if (now >= end) return true;
        auto slice = std::min<Clock::duration>(end - now, 20ms);
        Sleep(static_cast<DWORD>(std::chrono::ceil<std::chrono::milliseconds>(slice).count()));
    }
    return false;
}

// One step of an operation: 0 when it succeeded, otherwise the system's error
// and the path it refused.
using Step = std::function<DWORD(std::wstring& where)>;

// The one loop that waits out another program for every rename and delete.
Outcome Outlast(const Step& step, Clock::time_point giveUp) {
    Clock::duration wait = kFirstWait;
    for (bool logged = false;; wait = std::min<Clock::duration>(wait * 2, kLongestWait)) {
        std::wstring where;
        DWORD error = step(where);
        if (!error) return {};
        Outcome failed{false, Held(error), SystemText(error)};
        if (!failed.held || Clock::now() + wait > giveUp) return failed;
        if (!logged)
            Log(L"Another program is using " + Shown(where) + L" (" + failed.reason +
                L"): waiting for it to let go");
        logged = true;
        if (!Wait(wait)) return failed;
    }
}

DWORD Refused(const std::wstring& path, std::wstring& where) {
    where = path;
    return GetLastError();
}

// Deletes a file, or a folder with everything below it; the first refusal.
DWORD Erase(const std::wstring& path, std::wstring& where) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return 0;
        where = path;
        return error;
    }
    // Git leaves its packs read-only, which only refuses a delete.
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return DeleteFileW(path.c_str()) ? 0 : Refused(path, where);
    // A link to a folder goes, not what it leads to.
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        DWORD error = 0;
        bool listed = Walk(path, 0, [&](const std::filesystem::path& entry, Kind) {
            error = Erase(entry.native(), where);
            return error == 0;
        });
        if (error) return error;
        if (!listed) return Refused(path, where);
    }
    return RemoveDirectoryW(path.c_str()) ? 0 : Refused(path, where);
}

}  // namespace

Outcome Move(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::wstring source = Long(from), target = Long(to);
    return Outlast(
        [&](std::wstring& where) {
            return MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)
                       ? 0
                       : Refused(source, where);
        },
        Clock::now() + kAtMost);
}

Outcome Delete(const std::filesystem::path& path) {
    std::wstring target = Long(path);
    return Outlast([&](std::wstring& where) { return Erase(target, where); },
                   Clock::now() + kAtMost);
}

bool Remove(const std::vector<std::filesystem::path>& paths) {
    Clock::time_point giveUp = Clock::now() + kAtMost;
    bool ok = true;
    for (const std::filesystem::path& path : paths) {
        std::wstring target = Long(path);
        ok = Outlast([&](std::wstring& where) { return Erase(target, where); }, giveUp).ok && ok;
    }
    return ok;
}

}  // namespace setup::os
