// The setup program's entry: start-up, the message loop and shutdown.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <memory>
#include <vector>

#include "install_dir.h"
#include "win.h"
#include "window.h"
#include "window_args.h"
#include "window_texts.h"

namespace setup {

HFONT s_font = nullptr;
HFONT s_titleFont = nullptr;
bool s_updateMode = false;

namespace {

// Includes the padded-border field: the size the system expects since Vista.
static_assert(sizeof(NONCLIENTMETRICSW) == 504);

struct LocalFreer {
    void operator()(LPWSTR* args) const { LocalFree(args); }
};

std::vector<std::wstring> Arguments() {
    int count = 0;
    std::unique_ptr<LPWSTR, LocalFreer> args(CommandLineToArgvW(GetCommandLineW(), &count));
    if (!args) return {};
    return std::vector<std::wstring>(args.get(), args.get() + count);
}

fs::path ProgramDir() {
    wchar_t file[260] = L"";
    GetModuleFileNameW(nullptr, file, 260);
    return fs::path(file).parent_path();
}

std::wstring SystemDrive() {
    wchar_t drive[8] = L"C:";
    DWORD length = GetEnvironmentVariableW(L"SystemDrive", drive, 8);
    // A value too long for the buffer isn't a drive.
    if (length == 0 || length >= 8) return L"C:";
    return drive;
}

void Register(HINSTANCE instance) {
    WNDCLASSW type{};
    type.lpfnWndProc = WndProc;
    type.hInstance = instance;
    type.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    type.lpszClassName = L"CorvaneSetup";
    RegisterClassW(&type);
}

}  // namespace

}  // namespace setup

using namespace setup;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX common{sizeof common, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&common);
    CreateJob();

    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    s_font = CreateFontIndirectW(&metrics.lfMessageFont);
    LOGFONTW title = metrics.lfMessageFont;
    title.lfHeight = title.lfHeight * 3 / 2;
    title.lfWeight = FW_BOLD;

    Register(instance);

    std::vector<std::wstring> args = Arguments();
    std::wstring update = UpdateFolder(args);
    ApplyMirrors(args);
    s_updateMode = !update.empty();

    s_window = CreateWindowExW(0, L"CorvaneSetup", kTitle, kWindowStyle, CW_USEDEFAULT,
                               CW_USEDEFAULT, 100, 100, nullptr, nullptr, instance, nullptr);
    s_titleFont = CreateFontIndirectW(&title);
    CreateControls(1, 10, {});
    CreateControls(11, 23, DefaultInstallDir(update, ProgramDir(), SystemDrive()));
    UpdateSourceChoice();
    UpdateFreeSpace();
    Layout();
    Centre();
    ApplyUpdateLook();
    ShowWindow(s_window, show);
    if (s_updateMode) PostMessageW(s_window, WM_COMMAND, kIdStart, 0);

    MSG m;
    // GetMessageW answers -1 on an error: that ends the loop too.
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(s_window, &m)) continue;
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    CloseJob();
    CoUninitialize();
    return 0;
}
