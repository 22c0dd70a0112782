// One setup window per user session: a second start from the desktop brings
// the running window to the front instead of opening a window of its own,
// whose view of the install would contradict the first one's.
#include <windows.h>

#include <memory>
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

}  // namespace setup
