// Platform calls under the shared logic. Each is defined once per platform in
// a *_win.cpp or *_posix.cpp file; the logic calls only these.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace setup::os {

// Posts one message to s_window; false when it was refused (a full queue, or
// nobody there), in which case the caller still owns the payload.
bool Post(unsigned msg, std::intptr_t wParam, std::intptr_t lParam);
// Whether a refused post is worth retrying: someone still takes messages.
bool Receiving();

// Free bytes available to the user on the drive of an existing folder; none
// when the query fails.
std::optional<std::uint64_t> FreeBytes(const std::filesystem::path& folder);
// The drive a folder is on, as the user knows it: "C:" on Windows, the
// mount point elsewhere.
std::wstring DriveOf(const std::filesystem::path& folder);
// Asks the user a yes/no question about the run; true for yes.
bool Ask(const std::wstring& question);
// The same with No as the answer a bare Enter gives.
bool AskNo(const std::wstring& question);

// The user's preferred UI languages, most preferred first, as locale names
// ("zh-Hans-CN", "de-DE" on Windows; LC_ALL, LC_MESSAGES or LANG, the first
// set, elsewhere).
std::vector<std::wstring> UiLanguages();

// The worker's COM apartment on Windows; nothing elsewhere.
class ThreadScope {
  public:
    ThreadScope();
    ~ThreadScope();
    ThreadScope(const ThreadScope&) = delete;
    ThreadScope& operator=(const ThreadScope&) = delete;
};

// Starts a program with no arguments in its own folder, outside the run's
// children, and does not wait for it; false when it couldn't be started.
// Starts the program in its own folder, outside the run's job; false with
// blocked set when an application control policy refused it.
bool Launch(const std::filesystem::path& program, bool* blocked = nullptr);

// The process's environment; `present` tells a missing variable from an empty one.
std::wstring GetEnv(const wchar_t* name, bool* present = nullptr);
void SetEnv(const wchar_t* name, const std::wstring& value);
void UnsetEnv(const wchar_t* name);
// The home folder of the user named, or of the user running the program for
// an empty name, from the system's user database; empty when it knows none
// (always on Windows).
std::wstring HomeOf(const std::wstring& user);

// The memory the build can count on: the physical memory available now
// and, on Linux, what the memory limit of the setup's control group leaves
// (v1 or v2, the tightest of its ancestors), whichever is less.
struct Memory {
    std::uint64_t available = 0;  // 0: unknown
    std::uint64_t limit = 0;      // the control group's limit; 0: none
};
Memory MemoryNow();
// The most memory one of the run's child processes has used so far, of
// every child since the program started (the job object's peak process
// memory on Windows; the largest resident size among the ended children,
// theirs included, on Linux); 0 when the system doesn't tell.
std::uint64_t ChildPeak();
// How many processes have been ended for want of memory: those of the
// setup's own control group where it has one (`own`: v2's memory.events,
// v1's memory.oom_control), else the system's since it started
// (/proc/vmstat). 0 where nothing counts them.
struct Kills {
    std::uint64_t count = 0;
    bool own = false;
};
Kills MemoryKills();

// A GNU make jobserver for the build: a build tool that takes part runs
// one job of its own and one more for each token it holds, and gives each
// back when the job ends. A FIFO in a private folder on Linux, a named
// semaphore on Windows; gone with the object.
class Jobserver {
  public:
    explicit Jobserver(int most);
    ~Jobserver();
    Jobserver(const Jobserver&) = delete;
    Jobserver& operator=(const Jobserver&) = delete;

    // Whether it could be made.
    bool Ready() const;
    // What MAKEFLAGS says after --jobserver-auth=.
    std::wstring Auth() const;
    // Hands out `count` tokens more.
    void Give(int count);
    // Takes back up to `count` tokens that nobody holds; how many it took.
    int Take(int count);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Puts a shortcut to `target`, started in `workingDir`, on the user's desktop
// as `name` plus the platform's own extension (".lnk" on Windows, ".desktop"
// on Linux), replacing one of that name; false when it couldn't be made.
bool Shortcut(const std::filesystem::path& target, const std::filesystem::path& workingDir,
              const std::wstring& description, const std::wstring& name);

// The proxy that the downloads would use for an http or https URL, as a URL
// ("http://host:port"); empty when they go direct, for other schemes, and on
// Linux, where git reads the proxy variables itself.
std::wstring ProxyFor(const std::wstring& url);

// Holds an install folder for one run: an exclusive lock on its lock file
// (LockFileEx on Windows, flock on Linux) until the object goes. Only another
// run takes that lock: Busy() tells that one holds it, and any other program
// may open the file meanwhile. A lock file that can't be opened at all (a
// folder that can't be written) holds nothing, and the run finds out at its
// first write.
class FolderLock {
  public:
    explicit FolderLock(const std::filesystem::path& file);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool Busy() const { return busy_; }

  private:
    std::intptr_t handle_;
    bool busy_ = false;
};

// Renames and deletes in the install folder. On Windows another program,
// above all an antivirus scanning files just written, may hold them for a
// few seconds: such a refusal is tried again after 50 ms, waiting twice as
// long each time up to 1 s, for 10 s in all, and no longer once the user
// has cancelled. An operation that had to wait logs one line with the path
// and the system's reason. On Linux they are plain calls.
struct Outcome {
    bool ok = true;
    bool held = false;    // it failed because another program kept the files
    std::wstring reason;  // the system's words for the failure
};
// Gives a file or folder a new name: a file replaces a file of that name, a
// folder takes only a name that nothing has.
Outcome Move(const std::filesystem::path& from, const std::filesystem::path& to);
// Deletes a path with everything below it (a link, not what it leads to).
// A path that isn't there is no error.
Outcome Delete(const std::filesystem::path& path);
// Deletes each path as Delete does, going on past errors, within one wait of
// 10 s in all; false when any of it couldn't be deleted.
bool Remove(const std::vector<std::filesystem::path>& paths);

// What a walk meets: a file, a folder, a link (to either, or to nothing;
// never followed), or anything else (a pipe, a device).
enum class Kind { kFile, kFolder, kLink, kOther };
constexpr int kAnyDepth = 1 << 30;
// Calls `visit` with the path and kind of everything below `folder`, each
// folder before what it holds, going at most `depth` folders down (0: the
// folder's own entries only). `visit` returns false to end the walk there.
// On Windows the walk lists folders in their \\?\ form, so paths past 260
// characters are walked too; `visit` gets them as the user knows them.
// False when a folder on the way couldn't be listed.
bool Walk(const std::filesystem::path& folder, int depth,
          const std::function<bool(const std::filesystem::path&, Kind)>& visit);

// The signal an exit code from Run says ended the program, as "signal 9
// (killed)"; empty for an ordinary exit, and always on Windows, which has
// no signals.
std::wstring SignalOf(int exitCode);

// Ends every child process started by Run (the job object on Windows, the
// children's process groups elsewhere). Safe to call from any thread.
void EndChildren();

}  // namespace setup::os
