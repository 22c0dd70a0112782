#include "finish.h"

#include "os.h"
#include "setup.h"

namespace setup {

namespace {

const wchar_t kName[] = L"Corvane Recompiled";

std::wstring Summary(bool shortcut) {
    return shortcut ? T(L"Done. Start the game with the launcher (\"Corvane Recompiled\" on the "
                        L"desktop).")
                    : T(L"Done. Start the game with the launcher.");
}

// Only a plain file is ever deleted: not a folder, and not a link, whose
// removal would leave the image itself where it was.
bool IsPlainFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(fs::symlink_status(path, ec));
}

void DeleteImage(RunState& run) {
    const fs::path& image = run.choices.source;
    if (run.extracted || !run.choices.deleteImage || !IsPlainFile(image) || !Exists(run.at.xex))
        return;
    std::error_code ec;
    fs::remove(image, ec);
    if (ec) {
        Log(L"Couldn't delete the disc image " + PathText(image));
        return;
    }
    Log(L"Deleted the disc image " + PathText(image));
    run.message += L"\n\n" + Say(L"The disc image was deleted (the game's files are in {}).",
                                 PathText(fs::path("corvane-recomp") / "game" / "extracted"));
}

}  // namespace

void Finish(RunState& run) {
    // A shortcut that can't be made is not worth failing a finished install for.
    if (run.choices.shortcut) os::Shortcut(s_installed, s_installed.parent_path(), kName, kName);
    run.message = Summary(run.choices.shortcut);
    // Where the game is, and for an update whether the code changed.
    std::wstring dir = PathText(run.choices.installDir);
    run.message += L"\n\n" + (run.update.empty() ? Say(L"Installed in {}.", dir)
                                                 : Say(L"Installed in {}. {}", dir, run.update));
    // The status line said so only until the build's next line replaced it.
    if (run.fewer)
        run.message += std::wstring(L"\n\n") +
                       T(L"The build ran short of memory and went on with fewer compiles at once.");
    if (run.choices.freeSpace) FreeSpace(run);
    DeleteImage(run);
}

}  // namespace setup
