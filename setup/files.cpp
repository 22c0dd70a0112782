#include "files.h"

#include "os.h"

namespace setup {

namespace {}  // namespace

// The system's reason stands in each message, so it isn't given again as the cause.
void MoveOrFail(const fs::path& from, const fs::path& to, const std::wstring& what) {
    os::Outcome moved = os::Move(from, to);
    if (moved.ok) return;
    CheckCancel();  // a cancel ends the wait, and the run as cancelled
    if (moved.held)
        Fail(
            Say(L"Windows wouldn't let Setup move {} to {}: {}. Another program, often an "
                L"antivirus scanning the new files, is using them. Try again in a minute.",
                PathText(from), PathText(to), moved.reason));
    Fail(Say(L"Couldn't move {} into {}: {}.", what, PathText(to), moved.reason));
}

void DeleteOrFail(const fs::path& path) {
    os::Outcome deleted = os::Delete(path);
    if (deleted.ok) return;
    CheckCancel();
    if (deleted.held)
        Fail(
            Say(L"Windows wouldn't let Setup delete {}: {}. Another program, often an antivirus "
                L"scanning the new files, is using them. Try again in a minute.",
                PathText(path), deleted.reason));
    Fail(Say(L"Couldn't delete {}: {}.", PathText(path), deleted.reason));
}

}  // namespace setup
