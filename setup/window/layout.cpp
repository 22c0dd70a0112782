// The window's size and place, its DPI, and the look of an existing install.
#include <algorithm>

#include "install_dir.h"
#include "screen_fit.h"
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
    KeepOnScreen();
}

void KeepOnScreen() {
    RECT r;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetWindowRect(s_window, &r) ||
        !GetMonitorInfoW(MonitorFromWindow(s_window, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    // The newest log lines, where a failure explains itself, are at the
    // bottom: the window moves up first, and only then does the log get
    // shorter, down to a few lines.
    const RECT& work = monitor.rcWork;
    Box was{r.left, r.top, r.right, r.bottom};
    int give = s_showLog ? Scale(kLogHeight - kLogShortest) : 0;
    Box fit = FitIn(was, {work.left, work.top, work.right, work.bottom}, give);
    if (!(fit == was))
        SetWindowPos(s_window, nullptr, fit.left, fit.top, fit.right - fit.left,
                     fit.bottom - fit.top, SWP_NOZORDER | SWP_NOACTIVATE);
    // The log ends where the client area does, with its margin; the system
    // too keeps a window within the screen's largest frame.
    RECT client;
    GetClientRect(s_window, &client);
    int height = client.bottom - Scale(kTallHeight - kLogHeight);
    height =
        s_showLog ? std::clamp(height, Scale(kLogShortest), Scale(kLogHeight)) : Scale(kLogHeight);
    SetWindowPos(Item(kIdLog), nullptr, 0, 0, Scale(kLogWidth), height,
                 SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
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
    KeepOnScreen();
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
