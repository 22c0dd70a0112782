// The setup program's shared vocabulary: the user's choices, the failure that
// ends a run, the worker-to-window messages and the helpers every stage uses.
// Everything declared here is the same on Windows and Linux; the platform
// files under setup/os/ supply the parts that differ.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "language.h"
#include "platform.h"

namespace setup {

namespace fs = std::filesystem;

// The user's choices for one run.
struct Choices {
    fs::path source;      // disc image file or extracted-disc folder; may be empty
    fs::path installDir;  // never empty
    bool shortcut = false;
    bool freeSpace = false;
    bool deleteImage = false;  // false whenever the source is an extracted folder
};

// Ends a run with a message for the user. Deliberately not derived from
// std::exception, so that a handler for standard exceptions does not catch it.
struct Failed {
    std::wstring message;
    // What made it fail, where that is known: a program's last error line,
    // the system's or the HTTP client's reason, a status code. Shown under
    // the message, never instead of it; setup.log's last line stays `message`.
    std::wstring cause;
    // Not 0 when the user answered No to one of the run's questions, which
    // is no failure: kDeclinedSpace or kDeclinedSource, what to change.
    int declined = 0;
};
// A cancelled run's final message, and what the front ends say of it: a
// cancel is the user's choice, not a failure.
inline constexpr const wchar_t* kCancelled = T(L"Cancelled.");
inline constexpr const wchar_t* kCancelledNote =
    T(L"Cancelled. The next run continues from the work already done.");
// Run's failure when the program couldn't be started at all, for a caller
// that can say better what is missing.
struct NotStarted : Failed {};
// Run's failure when Windows' application control refused the program, at
// its start or by ending it: no other step can do without it.
struct Blocked : Failed {};
// What the user reads when application control refused that program.
std::wstring BlockedText(const fs::path& program);

// Worker-to-window messages (WM_APP + n). Text payloads are heap std::wstring
// objects whose address is the lParam; the receiver frees them with TakeText.
// kMsgLog carries one or more log lines, each followed by L'\n': a child's
// flood of output reaches the window in a few large messages, not one per line.
constexpr unsigned kMsgLog = 0x8001;
constexpr unsigned kMsgStatus = 0x8002;
constexpr unsigned kMsgProgress = 0x8003;
constexpr unsigned kMsgDone = 0x8004;
// kMsgDone's wParam besides 1 (success) and 0 (failure): the user answered
// No about the install folder's free space, or about the source.
constexpr int kDeclinedSpace = 2;
constexpr int kDeclinedSource = 3;
// kMsgStatus's wParam when the text is a download's progress, which the
// console shows less often where it can't redraw a line; 0 otherwise.
constexpr std::intptr_t kDownloadProgress = 1;
// kMsgProgress's lParam for the build's progress, which the console prints
// where it can't draw a bar: when the build counts its steps ("[12/40]") the
// step in the high half and their number in the low half, kBuildPercent for
// a percentage of its own; 0 for other progress (a download's, for one).
constexpr std::intptr_t kBuildPercent = -1;
constexpr std::intptr_t Steps(int count, int total) {
    return static_cast<std::intptr_t>((static_cast<std::uint64_t>(count) << 32) |
                                      static_cast<std::uint32_t>(total));
}

// The fixed names of everything a run keeps under the install folder.
struct Layout {
    fs::path log;        // setup.log
    fs::path lock;       // setup.lock: held by the run working in the folder
    fs::path tools;      // tools
    fs::path source;     // corvane-recomp
    fs::path extracted;  // corvane-recomp/game/extracted
    fs::path xex;        // corvane-recomp/game/extracted/default.xex
    fs::path launcher;   // corvane-recomp/build/runtime/<launcher>
};
Layout LayoutOf(const fs::path& installDir);

// Shared state (see the platform files for s_window).
extern std::atomic<bool> s_cancel;
extern fs::path s_installed;

// Logging, status and failure.
void Log(const std::wstring& line);
void Status(const std::wstring& text);
// A stage's step: its status; only a log line where the status line sums up
// several jobs at once (`beside`).
void Note(const std::wstring& text, bool beside);
[[noreturn]] void Fail(const std::wstring& message, const std::wstring& cause = {});
void CheckCancel();
std::wstring Widen(const std::string& bytes);
std::string Narrow(const std::wstring& text);  // UTF-8
// Lines for setup.log alone, already UTF-8 and each followed by '\n': one
// write, flushed, so that they are on disk before the caller reads on.
void WriteLog(std::string_view bytes);
// True when setup.log is open for writing.
bool OpenLog(const fs::path& installDir);
void CloseLog();
// Keeps the lines logged from now on for setup.log until OpenLog writes
// them there; CloseLog drops any not written.
void HoldLog();

// Text of a path and a path from text, the same on both platforms.
std::wstring PathText(const fs::path& path);
fs::path ToPath(const std::wstring& text);

// Posting to the window. Post* give the payload up only when the post was
// accepted; a refused payload is freed. PostDone never loses the message
// while anyone is still there to receive it.
void PostText(unsigned msg, const std::wstring& text, std::intptr_t wParam = 0);
// Posts log lines (each followed by L'\n') as one kMsgLog, giving the block
// up. A block refused by a full queue, or held back while the last one posted
// hasn't been taken yet, stays with the caller, who adds the next lines to it
// and tries again; with `wait`, it goes at once and a full queue is waited out.
// Lines nobody will ever read (no receiver, or one closing) are dropped.
bool PostLines(std::unique_ptr<std::wstring>& lines, bool wait = false);
void PostProgress(int percent, std::intptr_t steps = 0);
// The last status text posted (not a download's figures), which a passing
// note puts back when it goes.
std::wstring LastStatus();
// The run's end: the final message, what made it fail (empty when unknown)
// and setup.log's path when the run wrote to it. kMsgDone carries all three.
struct Outcome {
    std::wstring message;
    std::wstring cause;
    fs::path log;
};
void PostDone(bool succeeded, const std::wstring& message, const std::wstring& cause = {},
              const fs::path& log = {}, int declined = 0);
// The outcome a kMsgDone's text holds.
Outcome ReadOutcome(const std::wstring& text);
// Takes ownership of a text payload back from an lParam.
std::unique_ptr<std::wstring> TakeText(std::intptr_t lParam);
// Payloads posted but not yet taken back: a leak shows here.
int LiveTexts();

// Existence test that never throws: a status that can't be read counts as
// absent, and so does a link to nothing.
bool Exists(const fs::path& path);
// Whether a folder holds nothing; false for one that can't be listed, or
// isn't there.
bool Empty(const fs::path& folder);

// The install run: the worker thread's body.
void Install(Choices choices);

// Process runner. A line longer than kLineCap reaches the handler and the
// window cut there; setup.log gets all of it.
constexpr std::size_t kLineCap = 1 << 20;
using LineHandler = std::function<void(const std::string&)>;
// What Run saw of a command's processes, for a caller that asks: the build.
// Run with one also runs the command's processes below normal priority, so
// that the PC stays usable meanwhile, and notes a stall (stall.h).
// One process of a command's tree that started none of its own.
struct Leaf {
    long long id = 0;
    std::string name;          // its program's file name
    std::uint64_t memory = 0;  // resident; 0: unknown
};
struct Watch {
    bool signalled = false;  // a signal ended the command, not its own exit
    int most = 0;            // the most compiles seen at once (CompileCount); 0: none seen
    // Called with the command's leaf processes every look (every 200 ms).
    std::function<void(const std::vector<Leaf>&)> seen;
};
int Run(const std::wstring& command, const fs::path& workingDir, const LineHandler& onLine,
        Watch* watch = nullptr);
std::wstring Quote(const fs::path& path);
// How every git command line about the source folder starts. Git for Windows
// refuses paths past 260 characters unless asked, and the game's sources go
// deep under a long install folder; git elsewhere takes the setting and has
// no such limit. Git also refuses a repository whose owner it can't confirm
// (exFAT and FAT32 drives have no owners, network shares and folders made by
// another account have others), so the source folder is vouched for.
std::wstring GitCommand(const fs::path& source);
bool GitOutput(const fs::path& folder, const std::wstring& args, std::string& out);
// The user's cancel: sets s_cancel and ends every child process of the run.
void Cancel();

// Seams for the run's two questions to the platform, replaceable in tests.
extern std::optional<std::uint64_t> (*s_freeBytes)(const fs::path& folder);  // none: unknown
extern bool (*s_ask)(const std::wstring& question);                          // true for yes
// The question about a source that doesn't look like a disc image: No unless
// the user says yes.
extern bool (*s_askAnyway)(const std::wstring& question);

}  // namespace setup
