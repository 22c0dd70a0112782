// The window procedure: commands from the controls and the run's messages.
#include <optional>

#include "window.h"

namespace setup {

namespace {

// Newer than the headers: asks for the window's size at another DPI.
constexpr UINT kGetDpiScaledSize = 0x02E4;

HWND s_focus = nullptr;  // the control that had the focus when the window was left

// True when the command was handled.
bool Command(int id, int code) {
    switch (id) {
        case kIdSourceBrowse:
            BrowseSource();
            return true;
        case kIdInstallDir:
            if (code == EN_KILLFOCUS) {
                UpdateFreeSpace();
                return true;
            }
            if (code != EN_CHANGE) return false;
            FollowTyping();
            return true;
        case kIdInstallDirBrowse:
            BrowseDir();
            UpdateFreeSpace();
            return true;
        case kIdStart:
            StartOrCancel();
            return true;
        case kIdPlay:
            Play();
            return true;
        case kIdViewLog:
            ViewLog();
            return true;
        case kIdSourceIso:
        case kIdSourceFolder:
            // Never a file path under the folder kind, nor the reverse.
            SetText(kIdSource, L"");
            UpdateSourceChoice();
            return true;
        case kIdDetails:
            s_showLog = !s_showLog;
            Layout();
            return true;
        case IDCANCEL:  // Esc, through the dialog keys of the message loop
            Escape();
            return true;
    }
    return false;
}

// The log blocks that queued up behind this one join it: under a flood the
// window then pays for one replacement in the log, not one a block, and
// shows the newest lines as soon as it can. Other messages keep their place.
std::wstring WithQueuedLines(HWND window, std::unique_ptr<std::wstring> lines) {
    MSG more;
    while (PeekMessageW(&more, window, kMsgLog, kMsgLog, PM_REMOVE))
        if (auto next = TakeText(more.lParam)) *lines += *next;
    return std::move(*lines);
}

// The two notes are grey; other statics have the default colours (0).
LRESULT Note(HWND control, HDC dc) {
    int id = GetDlgCtrlID(control);
    return id == kIdSourceNote || id == kIdSpaceNote ? GreyNote(dc) : 0;
}

// Enter presses the push button that has the focus, else Play or the start
// button; during a run, when that would be Cancel, nothing.
LRESULT DefaultButton(HWND window) {
    HWND focus = GetFocus();
    bool button = focus && IsChild(window, focus) &&
                  (SendMessageW(focus, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON);
    if (!button && s_busy.load()) return 0;
    // After a finished run, Enter starts the game rather than a rebuild.
    int byDefault = IsWindowVisible(Item(kIdPlay)) ? kIdPlay : kIdStart;
    return MAKELRESULT(button ? GetDlgCtrlID(focus) : byDefault, DC_HASDEFID);
}

// Keeps the focus across a switch to another window; true when handled.
bool Activated(HWND window, bool active) {
    if (!active) {
        HWND focus = GetFocus();
        if (focus && IsChild(window, focus)) s_focus = focus;
        return true;
    }
    // Back to the control that had the focus; the first one at the start.
    if (!s_focus || !IsWindowEnabled(s_focus) || !IsWindowVisible(s_focus))
        s_focus = GetNextDlgTabItem(window, nullptr, FALSE);
    // Not Cancel during a run: Enter or Space there would stop it.
    if (s_busy.load() && s_focus == Item(kIdStart)) s_focus = Item(kIdDetails);
    if (!s_focus) return false;
    SetFocus(s_focus);
    return true;
}

// The control given, or the next or previous one in the tab order.
void NextControl(HWND window, WPARAM wParam, LPARAM lParam) {
    HWND next = lParam ? reinterpret_cast<HWND>(wParam)
                       : GetNextDlgTabItem(window, GetFocus(), wParam != 0);
    if (!next) return;
    // Behind another window the control gets the focus when the window is back.
    if (GetActiveWindow() == window)
        SetFocus(next);
    else
        s_focus = next;
}

// The run's posts, a second start's and the window's own timer.
std::optional<LRESULT> OnRun(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case kMsgProgress:
            RunProgress(static_cast<int>(wParam), lParam);
            return 0;
        case kMsgBusy:  // from a second start, deciding whether to run
            return s_busy.load() ? 1 : 0;
        case WM_COPYDATA:
            return TakeOver(*reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        case kMsgHanded:
            RunHanded();
            return 0;
        case WM_TIMER:
            if (wParam != kIdCheckTimer) return std::nullopt;
            CheckTyped();
            return 0;
        case kMsgSpeak:
            Speak(static_cast<int>(wParam));
            return 0;
        case kMsgTypedChecked:
            TypedChecked(wParam, lParam);
            return 0;
        case kMsgLog:
        case kMsgStatus:
        case kMsgDone: {
            auto text = TakeText(lParam);
            if (!text) return 0;  // not one of the run's posts
            if (msg == kMsgLog) AppendLog(WithQueuedLines(window, std::move(text)));
            if (msg == kMsgStatus) RunStatus(*text, wParam == kDownloadProgress);
            if (msg == kMsgDone) EndRun(static_cast<int>(wParam), ReadOutcome(*text));
            return 0;
        }
    }
    return std::nullopt;
}

}  // namespace

LRESULT CALLBACK WndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_COMMAND:
            if (Command(LOWORD(wParam), HIWORD(wParam))) return 0;
            break;
        case WM_CTLCOLORSTATIC:
            if (LRESULT brush = Note(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam)))
                return brush;
            break;
        case DM_GETDEFID:
            return DefaultButton(window);
        case WM_NEXTDLGCTL:  // Tab in the detail log, which keeps the key for itself
            NextControl(window, wParam, lParam);
            return 0;
        case WM_ACTIVATE:
            if (Activated(window, LOWORD(wParam) != WA_INACTIVE)) return 0;
            break;
        case WM_EXITSIZEMOVE:  // dropped on another monitor, perhaps a smaller one
        case WM_DISPLAYCHANGE:
            KeepOnScreen();
            return 0;
        case WM_SETTINGCHANGE:  // "Make text bigger" while the window is open, say
            if (wParam == SPI_SETNONCLIENTMETRICS) TextSized();
            break;
        case WM_DPICHANGED:
            DpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case kGetDpiScaledSize:
            *reinterpret_cast<SIZE*>(lParam) = FrameSize(LOWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            Close();
            return 0;
        case WM_DESTROY:
            Undescribe();
            PostQuitMessage(0);
            return 0;
    }
    if (std::optional<LRESULT> handled = OnRun(window, msg, wParam, lParam)) return *handled;
    return DefWindowProcW(window, msg, wParam, lParam);
}

}  // namespace setup
