// Holds Wine's desktop open for a test run.
//
// Wine starts its desktop process (explorer.exe) from the first program that
// needs a window, and that process keeps the program's standard error open
// until it ends itself, a moment after the last program with a window. A test
// that happened to start it kept ctest waiting for its output for as long as
// other tests made windows: minutes, up to its timeout. Started here, with its
// output elsewhere, and held until the run ends, the desktop has no test's pipe.
//
//   wine_desktop start   makes the desktop, leaves a holder behind, returns
//   wine_desktop stop    ends the holder
#include <windows.h>

#include <string>

namespace {

const wchar_t kStop[] = L"CorvaneTestDesktopStop";
const wchar_t kHeld[] = L"CorvaneTestDesktopHeld";
constexpr DWORD kLongest = 2 * 60 * 60 * 1000;  // a run that never stops it

struct Handle {
    HANDLE h;
    ~Handle() {
        if (h) CloseHandle(h);
    }
};

// A window of the desktop that is never shown.
HWND Window() {
    WNDCLASSW type{};
    type.lpfnWndProc = DefWindowProcW;
    type.hInstance = GetModuleHandleW(nullptr);
    type.lpszClassName = L"CorvaneTestDesktop";
    RegisterClassW(&type);
    return CreateWindowExW(0, type.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           type.hInstance, nullptr);
}

int Hold() {
    Handle stop{CreateEventW(nullptr, TRUE, FALSE, kStop)};
    HWND window = Window();
    Handle held{OpenEventW(EVENT_MODIFY_STATE, FALSE, kHeld)};
    if (held.h) SetEvent(held.h);
    WaitForSingleObject(stop.h, kLongest);
    DestroyWindow(window);
    return 0;
}

int Start() {
    Handle held{CreateEventW(nullptr, TRUE, FALSE, kHeld)};
    HWND window = Window();
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(self) + L"\" hold";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION holder{};
    if (!CreateProcessW(self, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                        nullptr, &startup, &holder))
        return 1;
    Handle process{holder.hProcess}, thread{holder.hThread};
    bool ok = WaitForSingleObject(held.h, 30000) == WAIT_OBJECT_0;
    DestroyWindow(window);
    return ok ? 0 : 1;
}

int Stop() {
    Handle stop{OpenEventW(EVENT_MODIFY_STATE, FALSE, kStop)};
    if (stop.h) SetEvent(stop.h);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"start") return Start();
    if (mode == L"hold") return Hold();
    if (mode == L"stop") return Stop();
    return 2;
}
