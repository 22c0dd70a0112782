// Starting, cancelling and ending a run, the busy state, the progress bar,
// the detail log, Play and closing the window.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <system_error>

#include "os.h"
#include "win.h"
#include "window.h"
#include "window_texts.h"

namespace setup {

std::atomic<bool> s_busy{false};
std::thread s_worker;

namespace {

// The log keeps below about this many characters, dropping its oldest part.
constexpr int kLogLimit = 400000;
constexpr int kLogDrop = 100000;

// The start's checks; false when one of them stops it.
bool Check(const std::wstring& source, const std::wstring& installDir, const Choices& choices) {
    if (installDir.empty()) {
        Ask(kNoInstallDir, MB_ICONINFORMATION);
        return false;
    }
    if (NonEnglish(installDir) && Ask(kNonEnglishQuestion, MB_YESNO | MB_ICONWARNING) != IDYES)
        return false;
    if (Checked(kIdSourceFolder) && !source.empty()) {
        std::error_code ec;
        if (!fs::is_directory(fs::status(ToPath(source), ec))) {
            Ask(kNotAFolder, MB_ICONINFORMATION);
            return false;
        }
    }
    if (choices.deleteImage && !s_updateMode &&
        Ask(DeleteQuestion(source), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return false;
    return true;
}

void Start() {
    if (s_worker.joinable()) s_worker.join();
    std::wstring source = Text(kIdSource);
    std::wstring installDir = Text(kIdInstallDir);
    Choices choices;
    choices.source = ToPath(source);
    choices.installDir = ToPath(installDir);
    choices.shortcut = Checked(kIdShortcut);
    choices.freeSpace = Checked(kIdFreeSpace);
    choices.deleteImage = Checked(kIdDeleteImage) && !Checked(kIdSourceFolder);
    if (!Check(source, installDir, choices)) return;
    s_cancel.store(false);
    Show(kIdPlay, false);
    SetBusy(true);
    try {
        s_worker = std::thread(Install, std::move(choices));
    } catch (const std::system_error&) {
        SetBusy(false);
        Ask(kNoThread, MB_ICONWARNING);
    }
}

// The run's own question (low disk space) is a message box on the worker's
// thread; a worker waiting for an answer would never be joined.
BOOL CALLBACK AnswerNo(HWND box, LPARAM) {
    wchar_t type[8] = L"";
    GetClassNameW(box, type, 8);
    DWORD thread = GetWindowThreadProcessId(box, nullptr);
    if (GetWindow(box, GW_OWNER) == s_window && thread != GetCurrentThreadId() &&
        std::wstring(type) == L"#32770")
        PostMessageW(box, WM_COMMAND, IDNO, 0);
    return TRUE;
}

}  // namespace

void StartOrCancel() {
    if (!s_busy.load()) return Start();
    Cancel();
    SetText(kIdStatus, L"Cancelling...");
}

void SetBusy(bool busy) {
    s_busy.exchange(busy);
    for (int id : {kIdSource, kIdSourceBrowse, kIdInstallDir, kIdInstallDirBrowse, kIdShortcut,
                   kIdFreeSpace, kIdSourceIso, kIdSourceFolder})
        Enable(id, !busy);
    Enable(kIdDeleteImage, !busy && !Checked(kIdSourceFolder));
    SetText(kIdStart, busy ? L"Cancel" : L"Install");
}

void SetProgress(int value) {
    HWND bar = Item(kIdProgress);
    LONG_PTR style = GetWindowLongPtrW(bar, GWL_STYLE);
    bool marquee = (style & PBS_MARQUEE) != 0;
    if (value < 0) {
        if (marquee) return;
        SetWindowLongPtrW(bar, GWL_STYLE, style | PBS_MARQUEE);
        SendMessageW(bar, PBM_SETMARQUEE, 1, 30);
        return;
    }
    if (marquee) {
        SendMessageW(bar, PBM_SETMARQUEE, 0, 0);
        SetWindowLongPtrW(bar, GWL_STYLE, style & ~static_cast<LONG_PTR>(PBS_MARQUEE));
    }
    SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(std::min(value, 100)), 0);
}

void AppendLog(const std::wstring& lines) {
    // The block goes in with one replacement, trimmed exactly as appending it
    // line by line would: each line first drops the oldest kLogDrop
    // characters while the log is over kLogLimit.
    std::wstring text;
    text.reserve(lines.size() + lines.size() / 16);
    HWND log = Item(kIdLog);
    int old = GetWindowTextLengthW(log);
    long long n = old, drop = 0;
    for (std::size_t at = 0; at < lines.size();) {
        std::size_t end = lines.find(L'\n', at);
        if (end == std::wstring::npos) end = lines.size();
        if (n > kLogLimit) n -= kLogDrop, drop += kLogDrop;
        text.append(lines, at, end - at).append(L"\r\n");
        n += static_cast<long long>(end - at) + 2;
        at = end + 1;
    }
    if (drop > 0) {
        SendMessageW(log, EM_SETSEL, 0, static_cast<LPARAM>(std::min<long long>(drop, old)));
        SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
        // Lines that would have gone again before the block's end never go in.
        if (drop > old) text.erase(0, static_cast<std::size_t>(drop - old));
    }
    int at = GetWindowTextLengthW(log);
    SendMessageW(log, EM_SETSEL, static_cast<WPARAM>(at), at);
    SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

void EndRun(bool succeeded, const std::wstring& message) {
    SetText(kIdStatus, message);
    SetBusy(false);
    SetProgress(succeeded ? 100 : 0);
    if (succeeded) {
        SetText(kIdStart, L"Update");
        Show(kIdPlay, true);
        if (s_updateMode)
            Play();
        else
            Ask(message, MB_ICONINFORMATION);
        return;
    }
    if (!s_showLog) {
        s_showLog = true;
        Layout();
    }
    Ask(message, MB_ICONWARNING);
}

void Play() {
    // A launcher that can't be started leaves the window as it is.
    if (os::Launch(s_installed)) PostMessageW(s_window, WM_CLOSE, 0, 0);
}

void Close() {
    if (s_busy.load() && Ask(kStillRunning, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    Cancel();
    // Nobody reads the queue from here on: the run's last post gives up
    // instead of waiting for room.
    s_closing.store(true);
    if (s_worker.joinable()) {
        EnumWindows(AnswerNo, 0);
        s_worker.join();
    }
    DestroyWindow(s_window);
}

}  // namespace setup
