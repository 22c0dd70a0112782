// One setup window per user session: a second start from the desktop brings
// the running window to the front instead of opening a window of its own,
// whose view of the install would contradict the first one's.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <optional>
#include <type_traits>

#include "window.h"

namespace setup {

namespace {

struct HandleClose {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleClose>;

// Held for the process's life; "Local\" makes it one per session.
Handle s_marker;

// WM_COPYDATA's mark for a command line handed over, and the thread of the
// start that handed it, which waits for the run's exit code.
constexpr ULONG_PTR kHandOver = 0x43525332;
DWORD s_handedBy = 0;
std::vector<std::wstring> s_handed;

}  // namespace

bool FirstWindow() {
    s_marker.reset(CreateMutexW(nullptr, FALSE, L"Local\\CorvaneRecompiledSetup.Window"));
    return !s_marker || GetLastError() != ERROR_ALREADY_EXISTS;
}

bool FirstWorksIn(const std::wstring& folder) {
    HWND first = FindWindowW(kWindowClass, nullptr);
    if (!first || folder.empty()) return false;
    std::wstring text(32768, L'\0');
    DWORD_PTR length = 0;
    // A window that doesn't answer within a second is left to the folder's lock.
    if (!SendMessageTimeoutW(GetDlgItem(first, kIdInstallDir), WM_GETTEXT, text.size(),
                             reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 1000,
                             &length))
        return false;
    text.resize(length);
    auto plain = [](const std::wstring& path) {
        std::wstring form = fs::path(path).lexically_normal().native();
        while (form.size() > 3 && (form.back() == L'\\' || form.back() == L'/')) form.pop_back();
        return form;
    };
    // Windows paths compare without regard to case.
    return CompareStringOrdinal(plain(text).c_str(), -1, plain(folder).c_str(), -1, TRUE) ==
           CSTR_EQUAL;
}

bool FirstBusy() {
    HWND first = FindWindowW(kWindowClass, nullptr);
    DWORD_PTR busy = 0;
    // One that doesn't answer is taken as busy: its own lock would refuse the run too.
    if (!first || !SendMessageTimeoutW(first, kMsgBusy, 0, 0, SMTO_ABORTIFHUNG, 1000, &busy))
        return first != nullptr;
    return busy != 0;
}

void ActivateFirst() {
    // The first may still be opening its window: it is given a few seconds.
    for (int tries = 0; tries < 50; ++tries) {
        if (HWND first = FindWindowW(kWindowClass, nullptr)) {
            if (IsIconic(first)) ShowWindow(first, SW_RESTORE);
            // An open message box of the window's is what the user must see.
            SetForegroundWindow(GetLastActivePopup(first));
            return;
        }
        Sleep(100);
    }
}

std::optional<int> HandOver(const std::vector<std::wstring>& args) {
    HWND first = FindWindowW(kWindowClass, nullptr);
    MSG m;
    PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE);  // the queue the exit code comes to
    std::wstring data = std::to_wstring(GetCurrentThreadId());
    for (const std::wstring& arg : args) data += L'\0' + arg;
    COPYDATASTRUCT copy{kHandOver, static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)),
                        data.data()};
    DWORD_PTR taken = 0;
    if (!first ||
        !SendMessageTimeoutW(first, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy),
                             SMTO_ABORTIFHUNG, 5000, &taken) ||
        !taken)
        return std::nullopt;
    // A window closed before its run ended can't say how the run went.
    while (IsWindow(first)) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 500, QS_POSTMESSAGE);
        if (PeekMessageW(&m, reinterpret_cast<HWND>(-1), kMsgHandedEnd, kMsgHandedEnd, PM_REMOVE))
            return static_cast<int>(m.wParam);
    }
    if (PeekMessageW(&m, reinterpret_cast<HWND>(-1), kMsgHandedEnd, kMsgHandedEnd, PM_REMOVE))
        return static_cast<int>(m.wParam);
    return 1;
}

LRESULT TakeOver(const COPYDATASTRUCT& copy) {
    if (copy.dwData != kHandOver || s_busy.load() || s_handedBy) return 0;
    std::wstring data(static_cast<const wchar_t*>(copy.lpData), copy.cbData / sizeof(wchar_t));
    std::vector<std::wstring> parts;
    for (std::size_t at = 0; at <= data.size();) {
        std::size_t end = std::min(data.find(L'\0', at), data.size());
        parts.push_back(data.substr(at, end - at));
        at = end + 1;
    }
    if (parts.size() < 2) return 0;
    s_handedBy = static_cast<DWORD>(std::wcstoul(parts[0].c_str(), nullptr, 10));
    s_handed.assign(parts.begin() + 1, parts.end());
    if (!s_handed.empty() && s_handed.back().empty()) s_handed.pop_back();
    // The run starts once the sender has its answer: its checks may ask.
    PostMessageW(s_window, kMsgHanded, 0, 0);
    return 1;
}

std::vector<std::wstring> Handed() {
    return std::move(s_handed);
}

void HandedEnd() {
    if (!s_handedBy) return;
    PostThreadMessageW(s_handedBy, kMsgHandedEnd, static_cast<WPARAM>(s_exitCode), 0);
    s_handedBy = 0;
}

}  // namespace setup
