// The window procedure: commands from the controls and the run's messages.
#include "window.h"

namespace setup {

namespace {

// True when the command was handled.
bool Command(int id, int code) {
    switch (id) {
        case kIdSourceBrowse:
            BrowseSource();
            return true;
        case kIdInstallDir:
            if (code != EN_KILLFOCUS) return false;
            UpdateFreeSpace();
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
    }
    return false;
}

}  // namespace

LRESULT CALLBACK WndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_COMMAND:
            if (Command(LOWORD(wParam), HIWORD(wParam))) return 0;
            break;
        case WM_CTLCOLORSTATIC: {
            int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
            if (id == kIdSourceNote || id == kIdSpaceNote)
                return GreyNote(reinterpret_cast<HDC>(wParam));
            break;
        }
        case WM_CLOSE:
            Close();
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case kMsgProgress:
            SetProgress(static_cast<int>(wParam));
            return 0;
        case kMsgLog:
        case kMsgStatus:
        case kMsgDone: {
            auto text = TakeText(lParam);
            if (!text) return 0;  // not one of the run's posts
            if (msg == kMsgLog) AppendLog(*text);
            if (msg == kMsgStatus) SetText(kIdStatus, *text);
            if (msg == kMsgDone) EndRun(wParam == 1, *text);
            return 0;
        }
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

}  // namespace setup
