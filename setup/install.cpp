#include <cerrno>
#include <chrono>
#include <ctime>
#include <exception>
#include <fstream>
#include <memory>
#include <optional>
#include <system_error>

#include "acquire.h"
#include "build.h"
#include "finish.h"
#include "os.h"
#include "run.h"
#include "install_dir.h"
#include "setup.h"
#include "source_check.h"
#include "source_code.h"
#include "space.h"
#include "tools.h"
#include "version.h"

namespace setup {

namespace {

// The first link on the way to dir, from the top, that leads nowhere: to
// nothing, or round in a loop. Then "Couldn't create" says only "File
// exists", whichever it is, and with a trailing "/" or a folder below it
// too.
std::wstring BrokenLink(const fs::path& dir) {
    fs::path at, whole = dir.has_filename() ? dir : dir.parent_path();
    for (const fs::path& name : whole) {
        at /= name;
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(at, ec))) continue;
        if (fs::exists(fs::status(at, ec))) continue;
        std::wstring path = PathText(dir);
        bool self = at == whole;
        if (ec == std::errc::too_many_symbolic_link_levels)
            return self ? Say(L"Couldn't create {}: it is a loop of symbolic links. Choose another "
                              L"folder.",
                              path)
                        : Say(L"Couldn't create {}: {} is a loop of symbolic links. Choose another "
                              L"folder.",
                              path, PathText(at));
        std::wstring target = PathText(fs::read_symlink(at, ec));
        return self ? Say(L"Couldn't create {}: it is a symbolic link to {}, which doesn't exist. "
                          L"Create that folder, or choose another.",
                          path, target)
                    : Say(L"Couldn't create {}: {} is a symbolic link to {}, which doesn't exist. "
                          L"Create that folder, or choose another.",
                          path, PathText(at), target);
    }
    return {};
}

void MakeInstallDir(const fs::path& dir) {
    std::error_code made;
    fs::create_directories(dir, made);
    std::error_code ec;
    if (fs::is_directory(fs::status(dir, ec))) return;
    std::wstring broken = BrokenLink(dir);
    if (!broken.empty()) Fail(broken);
    // A file in the folder's place makes no error of create_directories.
    std::error_code why = made ? made : std::make_error_code(std::errc::not_a_directory);
    Fail(Say(L"Couldn't create {}: {}.", PathText(dir), Widen(why.message())));
}

// A folder the run can't write to would fail it later under another name
// (a download that "couldn't" be made), and without a setup.log.
void CheckWritable(const fs::path& dir) {
    fs::path probe = dir / "setup.probe";
    errno = 0;
    std::ofstream out(probe);
    std::error_code why(errno, std::generic_category());
    if (out.is_open()) {
        out.close();
        os::Delete(probe);
        return;
    }
    Fail(Say(L"Setup can't write to {}: {}.", PathText(dir),
             why ? Widen(why.message()) : T(L"the system refused it")));
}

void CheckSource(const Choices& choices, bool extracted) {
    if (extracted) return;  // the game's files are in the install: the source isn't needed
    Failed problem = SourceProblem(choices.source);
    if (!problem.message.empty()) throw problem;
}

void AskAboutImage(const Choices& choices) {
    std::error_code ec;
    if (fs::is_directory(choices.source, ec) || LooksLikeDisc(choices.source)) return;
    std::wstring path = PathText(choices.source);
    if (s_askAnyway(Say(L"{} doesn't look like an Xbox 360 disc image. Use it anyway?", path)))
        return;
    CheckCancel();  // a cancel answers the question too
    throw Failed{Say(L"{} doesn't look like an Xbox 360 disc image.", path), {}, kDeclinedSource};
}

// The run's two questions, each ended by a No: a source that doesn't look
// like a disc image, and a drive short of the space the build needs.
void Ask(const Choices& choices, bool extracted) {
    if (!extracted) AskAboutImage(choices);
    CheckSpace(choices.installDir, extracted);
}

// One run per install folder. Taken before setup.log is opened, so that a
// second run writes nothing there; held until the run's last line is written.
void Hold(const fs::path& installDir, std::unique_ptr<os::FolderLock>& lock) {
    lock = std::make_unique<os::FolderLock>(LayoutOf(installDir).lock);
    if (lock->Busy()) Fail(AlreadyWorking(installDir));
}

// The stages run git and the build in other folders than this process's, so
// a relative name would be read against each of those: both paths are made
// absolute once, against the folder the run started in.
void MakeAbsolute(fs::path& path) {
    if (path.empty()) return;
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    if (!ec) path = absolute;
}

// The local date and time, for setup.log: an attached log says when it ran.
std::wstring Now() {
    std::time_t now = std::time(nullptr);
    char text[32] = "";
    // Only the worker calls this, one run at a time: localtime's buffer is its own.
    if (const std::tm* local = std::localtime(&now))
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
    return Widen(text);
}

// How long a run took, as "12 min 5 s".
std::wstring Took(std::chrono::steady_clock::duration span) {
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(span).count();
    std::wstring text = std::to_wstring(seconds % 60) + L" s";
    return seconds < 60 ? text : std::to_wstring(seconds / 60) + L" min " + text;
}

// Steps from the install folder to the last stage; returns the final message,
// sets `log` once setup.log is open and `begun` once the checks have passed.
std::wstring Stages(const Choices& choices, std::unique_ptr<os::FolderLock>& lock, fs::path& log,
                    bool& begun) {
    RunState run{choices, LayoutOf(choices.installDir), false, {}, {}};
    std::wstring header = L"Corvane Recompiled Setup, installing to " +
                          PathText(choices.installDir) + L"; version " + Widen(kSetupVersion) +
                          L", started " + Now() + L"; language shown: " + Widen(Current().english) +
                          L" (" + Widen(Current().code) + L")";
    // A new folder is made only once both questions have been answered yes:
    // a No leaves nothing behind. Their lines go to setup.log once it's there.
    // A source that can't be used is reported from the folder's setup.log.
    bool early = !Exists(choices.installDir) && SourceProblem(choices.source).message.empty();
    if (early) {
        HoldLog();
        Log(header);
        Ask(choices, false);
    }
    MakeInstallDir(choices.installDir);
    Hold(choices.installDir, lock);
    CheckWritable(choices.installDir);
    if (OpenLog(choices.installDir)) log = LayoutOf(choices.installDir).log;
    if (!early) Log(header);
    run.extracted = Exists(run.at.xex);
    CheckSource(choices, run.extracted);
    if (!early) Ask(choices, run.extracted);
    begun = true;
    run.update = Acquire(choices.installDir, run.at.source);
    run.fewer = Build(run.at.source, choices.source, run.extracted);
    // A stage of its own, freeing space or not: the last of the four.
    Status(T(L"Finishing"));
    Finish(run);
    return run.message;
}

}  // namespace

void Install(Choices choices) {
    std::wstring message, cause;
    fs::path log;
    bool succeeded = false;
    int declined = 0;
    bool begun = false;
    auto started = std::chrono::steady_clock::now();
    {
        os::ThreadScope apartment;
        std::unique_ptr<os::FolderLock> lock;
        try {
            MakeAbsolute(choices.installDir);
            MakeAbsolute(choices.source);
            message = Stages(choices, lock, log, begun);
            succeeded = true;
        } catch (const Failed& failed) {
            message = failed.message;
            cause = failed.cause;
            declined = failed.declined;
        } catch (const std::exception& error) {
            message = Say(L"Unexpected error: {}", Widen(error.what()));
        } catch (...) {
            // Nothing else is thrown by design; still, a worker must never end the process.
            message = T(L"Unexpected error.");
        }
        // The message stays setup.log's last line.
        // How long the work took, once there was any: an attached log says it.
        if (begun) Log(L"The run took " + Took(std::chrono::steady_clock::now() - started) + L".");
        if (!cause.empty()) Log(L"caused by: " + cause);
        Log(message);
        CloseLog();
    }
    PostDone(succeeded, message, cause, log, declined);
}

}  // namespace setup
