// The window's size and place, its DPI, and the look of an existing install.
#include <algorithm>

#include "install_dir.h"
#include "screen_fit.h"
#include "window.h"
#include "window_texts.h"

namespace setup {

bool s_showLog = false;
bool s_folded = false;
UINT s_dpi = 96;
UINT s_zoom = 96;
bool s_installedLook = false;
BOOL(WINAPI* s_monitorInfo)(HMONITOR, LPMONITORINFO) = nullptr;

namespace {

SIZE Frame(UINT dpi, bool folded) {
    int height = s_showLog ? kTallHeight - (folded ? kFold : 0) : kShortHeight;
    // The text grows with the DPI as the layout does.
    int zoom = MulDiv(static_cast<int>(s_zoom), static_cast<int>(dpi), static_cast<int>(s_dpi));
    return FrameFor({MulDiv(kClientWidth, zoom, 96), MulDiv(height, zoom, 96)}, dpi);
}

bool WorkArea(RECT& work) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    HMONITOR on = MonitorFromWindow(s_window, MONITOR_DEFAULTTONEAREST);
    if (!(s_monitorInfo ? s_monitorInfo : GetMonitorInfoW)(on, &monitor)) return false;
    work = monitor.rcWork;
    return true;
}

// The choices as one line: they can't change while folded away.
std::wstring Summary() {
    std::wstring into = Text(kIdInstallDir), source = Text(kIdSource);
    if (!source.empty()) return Say(L"From {} into {}", source, into);
    return Say(s_installedLook ? T(L"Updating {}") : T(L"Into {}"), into);
}

// A work area too short for the details beside the choices (a laptop's
// screen at 150 %) folds the choice groups into the summary line while the
// details are shown: the log, where a failure explains itself, gets the room.
void Fold() {
    RECT work{};
    bool folded = s_showLog && WorkArea(work) && Frame(s_dpi, false).cy > work.bottom - work.top;
    if (folded) SetText(kIdSummary, Summary());
    Show(kIdSummary, folded);
    ShowChoices(!folded);
    HWND focus = GetFocus();
    if (folded && focus && !IsWindowVisible(focus)) SetFocus(Item(kIdDetails));
    if (folded == s_folded) return;
    s_folded = folded;
    Place();
}

}  // namespace

SIZE FrameSize(UINT dpi) {
    return Frame(dpi, s_folded);
}

void Layout() {
    Fold();
    SIZE frame = FrameSize(s_dpi);
    // SWP_NOMOVE: the top edge stays and the window grows downward.
    SetWindowPos(s_window, nullptr, 0, 0, frame.cx, frame.cy, SWP_NOZORDER | SWP_NOMOVE);
    Show(kIdLog, s_showLog);
    SetText(kIdDetails, s_showLog ? kHideDetails : kShowDetails);
    KeepOnScreen();
}

void KeepOnScreen() {
    RECT r, work;
    if (!GetWindowRect(s_window, &r) || !WorkArea(work)) return;
    // The newest log lines, where a failure explains itself, are at the
    // bottom: the window moves up first, and only then does the log get
    // shorter, down to a few lines.
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
    int height = client.bottom - Scale(kTallHeight - (s_folded ? kFold : 0) - kLogHeight);
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
    // The details on a screen of another size may need the choices' room, or not.
    if (s_showLog) return Layout();
    KeepOnScreen();
}

void TextSized() {
    MakeFonts();
    Place();
    Layout();
}

void FollowFolder(bool say) {
    fs::path folder = ToPath(Text(kIdInstallDir));
    bool installed = Installed(folder);
    ShowInstalled(installed, installed && Exists(LayoutOf(folder).launcher), say);
}

// Switches only when the folder changes sides, and says so on the status line.
void ShowInstalled(bool installed, bool launcher, bool say) {
    if (s_busy.load()) return;
    // The launcher of the install in the folder, which Play starts.
    s_installed = launcher ? LayoutOf(ToPath(Text(kIdInstallDir))).launcher : fs::path();
    OfferPlay(launcher);
    // A run's end puts the look back whole: going idle enabled every control.
    if (say && installed == s_installedLook) return;
    ShowLook(installed);
    if (say) SetStatus(installed ? kInstalledStatus : kReady);
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
