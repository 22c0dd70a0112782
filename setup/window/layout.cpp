// The window's size and place, its DPI, and the look of an existing install.
#include <algorithm>

#include "install_dir.h"
#include "window.h"
#include "window_texts.h"

namespace setup {

bool s_showLog = false;
UINT s_dpi = 96;
bool s_installedLook = false;

SIZE FrameSize(UINT dpi) {
    int height = s_showLog ? kTallHeight : kShortHeight;
    return FrameFor({MulDiv(kClientWidth, static_cast<int>(dpi), 96),
                     MulDiv(height, static_cast<int>(dpi), 96)},
                    dpi);
}

void Layout() {
    SIZE frame = FrameSize(s_dpi);
    // SWP_NOMOVE: the top edge stays and the window grows downward.
    SetWindowPos(s_window, nullptr, 0, 0, frame.cx, frame.cy, SWP_NOZORDER | SWP_NOMOVE);
    Show(kIdLog, s_showLog);
    SetText(kIdDetails, s_showLog ? kHideDetails : kShowDetails);
}

void Centre() {
    RECT r;
    GetWindowRect(s_window, &r);
    int x = (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 3;
    // A window larger than the screen keeps its caption on it, where it can be dragged.
    SetWindowPos(s_window, nullptr, std::max(x, 0), std::max(y, 0), 0, 0,
                 SWP_NOZORDER | SWP_NOSIZE);
}

void DpiChanged(UINT dpi, const RECT& suggested) {
    s_dpi = dpi;
    MakeFonts();
    Place();
    SetWindowPos(s_window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void FollowFolder() {
    ShowInstalled(Installed(ToPath(Text(kIdInstallDir))));
}

// Switches only when the folder changes sides, and says so on the status line.
void ShowInstalled(bool installed) {
    if (installed == s_installedLook) return;
    ShowLook(installed);
    SetText(kIdStatus, installed ? kInstalledStatus : kReady);
}

void ShowLook(bool installed) {
    s_installedLook = installed;
    SetText(kIdStart, installed ? kUpdateButton : kInstallButton);
    for (int id : {kIdSourceIso, kIdSourceFolder, kIdSource, kIdSourceBrowse})
        Enable(id, !installed);
    if (!installed) return UpdateSourceChoice();
    Enable(kIdDeleteImage, false);
    SetText(kIdSourceNote, kInstalledNote);
}

}  // namespace setup
