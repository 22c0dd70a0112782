#include <cerrno>
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
#include "setup.h"
#include "source_check.h"
#include "source_code.h"
#include "space.h"
#include "tools.h"

namespace setup {

namespace {

void MakeInstallDir(const fs::path& dir) {
    std::error_code made;
    fs::create_directories(dir, made);
    std::error_code ec;
    if (fs::is_directory(fs::status(dir, ec))) return;
    // A file in the folder's place makes no error of create_directories.
    std::error_code why = made ? made : std::make_error_code(std::errc::not_a_directory);
    Fail(L"Couldn't create " + PathText(dir) + L": " + Widen(why.message()) + L".");
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
    Fail(L"Setup can't write to " + PathText(dir) + L": " +
         (why ? Widen(why.message()) : L"the system refused it") + L".");
}

void CheckSource(const Choices& choices, bool extracted) {
    if (extracted) return;  // the game's files are in the install: the source isn't needed
    Failed problem = SourceProblem(choices.source);
    if (!problem.message.empty()) throw problem;
    std::error_code ec;
    if (fs::is_directory(choices.source, ec) || LooksLikeDisc(choices.source)) return;
    std::wstring path = PathText(choices.source);
    if (s_askAnyway(path + L" doesn't look like an Xbox 360 disc image. Use it anyway?")) return;
    CheckCancel();  // a cancel answers the question too
    Fail(path + L" doesn't look like an Xbox 360 disc image.");
}

// One run per install folder. Taken before setup.log is opened, so that a
// second run writes nothing there; held until the run's last line is written.
void Hold(const fs::path& installDir, std::unique_ptr<os::FolderLock>& lock) {
    lock = std::make_unique<os::FolderLock>(LayoutOf(installDir).lock);
    if (lock->Busy())
        Fail(L"Another Corvane Recompiled Setup is already working in " + PathText(installDir) +
             L".");
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

// Steps from the install folder to the last stage; returns the final message
// and sets `log` once setup.log is open.
std::wstring Stages(const Choices& choices, std::unique_ptr<os::FolderLock>& lock, fs::path& log) {
    MakeInstallDir(choices.installDir);
    Hold(choices.installDir, lock);
    CheckWritable(choices.installDir);
    if (OpenLog(choices.installDir)) log = LayoutOf(choices.installDir).log;
    Log(L"Corvane Recompiled Setup, installing to " + PathText(choices.installDir));
    RunState run{choices, LayoutOf(choices.installDir), false, {}, {}};
    run.extracted = Exists(run.at.xex);
    CheckSource(choices, run.extracted);
    CheckSpace(choices.installDir, run.extracted);
    run.update = Acquire(choices.installDir, run.at.source);
    Build(run.at.source, choices.source, run.extracted);
    Finish(run);
    return run.message;
}

}  // namespace

void Install(Choices choices) {
    std::wstring message, cause;
    fs::path log;
    bool succeeded = false;
    {
        os::ThreadScope apartment;
        std::unique_ptr<os::FolderLock> lock;
        try {
            MakeAbsolute(choices.installDir);
            MakeAbsolute(choices.source);
            message = Stages(choices, lock, log);
            succeeded = true;
        } catch (const Failed& failed) {
            message = failed.message;
            cause = failed.cause;
        } catch (const std::exception& error) {
            message = L"Unexpected error: " + Widen(error.what());
        } catch (...) {
            // Nothing else is thrown by design; still, a worker must never end the process.
            message = L"Unexpected error.";
        }
        // The message stays setup.log's last line.
        if (!cause.empty()) Log(L"caused by: " + cause);
        Log(message);
        CloseLog();
    }
    PostDone(succeeded, message, cause, log);
}

}  // namespace setup
