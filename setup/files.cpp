#include "files.h"

#include "os.h"

namespace setup {

namespace {

const wchar_t kHeld[] =
    L". Another program, often an antivirus scanning the new files, is using them. Try again "
    L"in a minute.";

}  // namespace

// The system's reason stands in each message, so it isn't given again as the cause.
void MoveOrFail(const fs::path& from, const fs::path& to, const std::wstring& what) {
    os::Outcome moved = os::Move(from, to);
    if (moved.ok) return;
    CheckCancel();  // a cancel ends the wait, and the run as cancelled
    if (moved.held)
        Fail(L"Windows wouldn't let Setup move " + PathText(from) + L" to " + PathText(to) + L": " +
             moved.reason + kHeld);
    Fail(L"Couldn't move " + what + L" into " + PathText(to) + L": " + moved.reason + L".");
}

void DeleteOrFail(const fs::path& path) {
    os::Outcome deleted = os::Delete(path);
    if (deleted.ok) return;
    CheckCancel();
    if (deleted.held)
        Fail(L"Windows wouldn't let Setup delete " + PathText(path) + L": " + deleted.reason +
             kHeld);
    Fail(L"Couldn't delete " + PathText(path) + L": " + deleted.reason + L".");
}

}  // namespace setup
