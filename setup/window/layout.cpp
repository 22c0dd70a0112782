// The window's size and place, and the look of an existing install.
#include "install_dir.h"
#include "window.h"
#include "window_texts.h"

namespace setup {

bool s_showLog = false;

void Layout() {
    RECT r{0, 0, kClientWidth, s_showLog ? kTallHeight : kShortHeight};
    AdjustWindowRect(&r, kWindowStyle, FALSE);
    // SWP_NOMOVE: the top edge stays and the window grows downward.
    SetWindowPos(s_window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOMOVE);
    Show(kIdLog, s_showLog);
    SetText(kIdDetails, s_showLog ? L"Hide details" : L"Show details");
}

void Centre() {
    RECT r;
    GetWindowRect(s_window, &r);
    int x = (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 3;
    SetWindowPos(s_window, nullptr, x, y, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
}

void ApplyUpdateLook() {
    if (!Installed(ToPath(Text(kIdInstallDir)))) return;
    SetText(kIdStart, L"Update");
    SetText(kIdStatus, kInstalledStatus);
    for (int id : {kIdSourceIso, kIdSourceFolder, kIdSource, kIdSourceBrowse, kIdDeleteImage})
        Enable(id, false);
    SetText(kIdSourceNote, kInstalledNote);
}

}  // namespace setup
