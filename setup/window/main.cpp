// The setup program's entry: start-up, the message loop and shutdown.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <memory>
#include <optional>
#include <vector>

#include "cli.h"
#include "os.h"
#include "download_line.h"
#include "http.h"
#include "install_dir.h"
#include "win.h"
#include "window.h"
#include "window_args.h"
#include "window_texts.h"

namespace setup {

bool s_updateMode = false;
bool s_quiet = false;
bool s_unattended = false;
bool s_yes = false;

namespace {

void Tick(int id, bool on) {
    SendMessageW(Item(id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

// The choices of an unattended run, as a user would have made them.
void Fill(const WindowArgs& options) {
    SetText(kIdSource, options.source);
    std::error_code ec;
    bool folder = fs::is_directory(ToPath(options.source), ec);
    Tick(kIdSourceIso, !folder);
    Tick(kIdSourceFolder, folder);
    Tick(kIdShortcut, options.shortcut);
    Tick(kIdFreeSpace, options.freeSpace);
    Tick(kIdDeleteImage, options.deleteImage);
}

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
    type.lpszClassName = kWindowClass;
    RegisterClassW(&type);
}

// The help and the command line's mistakes, which need no window: the
// exit code, or nothing when the window is to open.
std::optional<int> Settled(WindowArgs& options) {
    for (std::wstring* folder : {&options.update, &options.installDir})
        if (options.error.empty() && !options.help && !folder->empty())
            *folder = UsableInstallDir(*folder, options.error);
    if (options.error.empty() && !options.help)
        options.error = PathMistake(ToPath(options.source), ToPath(options.update));
    if (!options.help && options.error.empty()) return std::nullopt;
    if (options.help)
        MessageBoxW(nullptr, Shown(WindowHelp()).c_str(), kTitle, MB_ICONINFORMATION);
    else if (!options.quiet)
        MessageBoxW(nullptr, Shown(options.error).c_str(), kTitle, MB_ICONWARNING);
    return options.help ? 0 : 2;
}

// What the window already open means for this start: nothing, when this
// start opens its own; else the exit code once that window is in front. A
// plain start wants that window. A run in the folder it has happens in that
// window while it is idle; while its run goes, the folder is taken.
std::optional<int> Elsewhere(const WindowArgs& options, const std::vector<std::wstring>& args) {
    if (FirstWindow()) return std::nullopt;
    bool runs = !options.update.empty() || options.quiet || options.Unattended();
    std::wstring folder = options.update.empty() ? options.installDir : options.update;
    if (runs && !FirstWorksIn(folder)) return std::nullopt;
    // The idle window there runs it, as this start would have.
    if (runs && !FirstBusy()) {
        std::optional<int> code = HandOver(args);
        if (code && !options.quiet) ActivateFirst();
        return code;
    }
    ActivateFirst();
    if (!runs) return 0;
    if (!options.quiet)
        MessageBoxW(nullptr, Shown(AlreadyWorking(ToPath(folder))).c_str(), kTitle, MB_ICONWARNING);
    return 1;
}

// What the run's questions get without a user to answer them.
void Answers(const WindowArgs& options) {
    s_updateMode = !options.update.empty();
    s_unattended = options.Unattended();
    s_quiet = options.quiet;
    s_yes = options.yes;
    if (s_yes)
        s_ask = s_askAnyway = [](const std::wstring& question) {
            Log(L"Answered Yes (--yes): " + question);
            return true;
        };
    else if (s_quiet)
        s_ask = s_askAnyway = [](const std::wstring&) { return false; };
    s_downloadText = TimedDownloadText;  // the speed and the time left, as the console shows them
}

void Loop() {
    MSG m;
    // GetMessageW answers -1 on an error: that ends the loop too.
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(s_window, &m)) continue;
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

}  // namespace

void RunHanded() {
    std::vector<std::wstring> args = Handed();
    WindowArgs options = ReadWindowArgs(args);
    ApplyMirrors(args);
    Answers(options);
    std::wstring folder = options.update.empty() ? options.installDir : options.update;
    SetText(kIdInstallDir, folder);
    if (s_unattended) Fill(options);
    UpdateSourceChoice();
    s_exitCode = 1;  // until the run succeeds
    StartOrCancel();
    if (!s_busy.load()) HandedEnd();  // a check stopped it
}

}  // namespace setup

using namespace setup;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX common{sizeof common, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&common);

    std::vector<std::wstring> args = Arguments();
    WindowArgs options = ReadWindowArgs(args);
    UseLanguage(options.language.empty() ? Pick(os::UiLanguages()) : options.language);
    std::optional<int> settled = Settled(options);
    if (!settled) settled = Elsewhere(options, args);
    if (settled) {
        CoUninitialize();
        return *settled;
    }
    ApplyMirrors(args);
    Answers(options);
    CreateJob();
    Register(instance);
    s_window = CreateWindowExW(0, kWindowClass, kTitle, kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                               100, 100, nullptr, nullptr, instance, nullptr);
    s_dpi = WindowDpi(s_window);
    MakeFonts();
    CreateControls(1, 10, {});
    std::wstring installDir = options.installDir.empty()
                                  ? DefaultInstallDir(options.update, ProgramDir(), SystemDrive())
                                  : options.installDir;
    CreateControls(11, 26, installDir);
    if (s_unattended) Fill(options);
    UpdateSourceChoice();
    UpdateFreeSpace();
    Layout();
    Centre();
    FollowFolder();
    Describe();
    ShowWindow(s_window, show);
    if (HWND first = GetNextDlgTabItem(s_window, nullptr, FALSE)) SetFocus(first);
    if (s_updateMode || s_unattended) {
        s_exitCode = 1;  // until a run succeeds
        PostMessageW(s_window, WM_COMMAND, kIdStart, 0);
    }
    Loop();
    EndTaskbar();
    CloseJob();
    CoUninitialize();
    return s_exitCode;
}
