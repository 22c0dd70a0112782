// The install check of a folder being typed. Typed on a network share, one
// file-status query can take seconds: it waits until typing pauses and runs
// on a thread of the system's pool, and only the answer about the latest
// text changes the look.
#include <memory>

#include "install_dir.h"
#include "window.h"

namespace setup {

namespace {

constexpr UINT kPause = 300;  // milliseconds without a keystroke

WPARAM s_latestCheck = 0;  // the window's thread only

struct Check {
    WPARAM id;
    fs::path folder;
};

void CALLBACK RunCheck(PTP_CALLBACK_INSTANCE, void* context) {
    std::unique_ptr<Check> check(static_cast<Check*>(context));
    LPARAM found = 0;
    if (Installed(check->folder)) found = kInstalled;
    if (found && Exists(LayoutOf(check->folder).launcher)) found |= kLauncher;
    // A window already gone takes no message: the answer is dropped.
    PostMessageW(s_window, kMsgTypedChecked, check->id, found);
}

}  // namespace

void FollowTyping() {
    SetTimer(s_window, kIdCheckTimer, kPause, nullptr);
}

void CheckTyped() {
    KillTimer(s_window, kIdCheckTimer);
    auto check = std::make_unique<Check>(Check{++s_latestCheck, ToPath(Text(kIdInstallDir))});
    if (TrySubmitThreadpoolCallback(RunCheck, check.get(), nullptr)) {
        check.release();  // the callback owns it now
        return;
    }
    RunCheck(nullptr, check.release());
}

void TypedChecked(WPARAM check, LPARAM found) {
    if (check == s_latestCheck) ShowInstalled(found & kInstalled, found & kLauncher);
}

}  // namespace setup
