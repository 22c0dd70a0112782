#include "app.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <map>
#include <regex>
#include <set>
#include <thread>

#include <oleacc.h>

#include "os.h"
#include "window.h"

namespace setup::test {

namespace {

std::wstring Quoted(const std::wstring& arg) {
    return L"\"" + arg + L"\"";
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

struct Search {
    DWORD process;
    const wchar_t* type;
    HWND owner;
    HWND found;
    std::function<bool(HWND)> wanted;
};

BOOL CALLBACK Visit(HWND window, LPARAM param) {
    auto* s = reinterpret_cast<Search*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != s->process || !IsWindowVisible(window) || ClassOf(window) != s->type)
        return TRUE;
    if (s->owner && GetWindow(window, GW_OWNER) != s->owner) return TRUE;
    if (s->wanted && !s->wanted(window)) return TRUE;
    s->found = window;
    return FALSE;
}

HWND Find(DWORD process, const wchar_t* type, HWND owner,
          std::function<bool(HWND)> wanted = nullptr) {
    Search s{process, type, owner, nullptr, std::move(wanted)};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// What a screen reader is told a control is, asked as one asks.
std::wstring AccName(HWND control) {
    os::ThreadScope apartment;
    // IAccessible's: mingw-w64's import library has it wrong.
    const IID accessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0, 0xaa, 0, 0x38, 0x9b, 0x71}};
    IAccessible* object = nullptr;
    BSTR name = nullptr;
    VARIANT self{};
    self.vt = VT_I4;
    if (SUCCEEDED(AccessibleObjectFromWindow(control, OBJID_CLIENT, accessible,
                                             reinterpret_cast<void**>(&object)))) {
        object->get_accName(self, &name);
        object->Release();
    }
    std::wstring text = name ? name : L"";
    SysFreeString(name);
    return text;
}

}  // namespace

fs::path WinePath(std::string linuxPath) {
    for (char& c : linuxPath)
        if (c == '/') c = '\\';
    return fs::path("Z:" + linuxPath);
}

fs::path SetupExe() {
    return WinePath(SETUP_EXE);
}
fs::path HeldExe() {
    return WinePath(HELD_EXE);
}

bool IsSpaceNote(const std::wstring& note) {
    const std::wstring tail =
        L" free on that drive; about 12 GB is needed (6 GB once the disc is extracted).";
    if (note.size() < tail.size() || note.substr(note.size() - tail.size()) != tail) return false;
    return std::regex_match(note.substr(0, note.size() - tail.size()),
                            std::wregex(L"[0-9]+ MB|[0-9]+\\.[0-9] GB"));
}

bool Until(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        Sleep(20);
    }
    return true;
}

void ExpectAccessible(const App& app) {
    const std::map<int, std::wstring> named = {
        {kIdSource, L"Disc image or extracted disc folder"},
        {kIdSourceBrowse, app.Checked(kIdSourceFolder) ? L"Browse for the extracted disc folder"
                                                       : L"Browse for the disc image"},
        {kIdInstallDir, L"Install folder"},
        {kIdInstallDirBrowse, L"Browse for the install folder"},
        {kIdProgress, L"Progress"},
        {kIdLog, L"Details"}};
    std::set<std::wstring> names;
    std::set<wchar_t> keys;
    for (HWND c = GetWindow(app.window(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (!IsWindowVisible(c)) continue;
        std::wstring name = AccName(c);
        auto n = named.find(GetDlgCtrlID(c));
        EXPECT_TRUE(n == named.end() || name == n->second) << Narrow(name);
        bool button = _wcsicmp(ClassOf(c).c_str(), L"Button") == 0;
        // A group's caption is the label of the field it holds, which may be named the same.
        bool group = button && (GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
        EXPECT_TRUE(!name.empty() && (group || names.insert(name).second)) << Narrow(name);
        wchar_t text[256] = L"";
        const wchar_t* key = button && GetWindowTextW(c, text, 256) ? wcschr(text, L'&') : nullptr;
        EXPECT_TRUE(!key || keys.insert(std::towlower(key[1])).second) << Narrow(text);
    }
    HWND first = GetNextDlgTabItem(app.window(), nullptr, FALSE), was = first;
    for (HWND c = GetNextDlgTabItem(app.window(), first, FALSE); c && c != first;
         was = c, c = GetNextDlgTabItem(app.window(), c, FALSE)) {
        RECT a = app.Rect(GetDlgCtrlID(was)), b = app.Rect(GetDlgCtrlID(c));
        bool row = std::abs(b.top - a.top) < std::min(a.bottom - a.top, b.bottom - b.top) / 2;
        EXPECT_TRUE(row ? b.left > a.left : b.top > a.top)
            << GetDlgCtrlID(was) << " before " << GetDlgCtrlID(c);
    }
}

namespace {

const wchar_t kDesktopKey[] = L"Control Panel\\Desktop";

// The prefix's DPI for as long as it lives; a program reads it as it starts.
class ScreenDpi {
  public:
    explicit ScreenDpi(unsigned dpi) {
        if (!dpi) return;
        DWORD size = sizeof old_;
        had_ = RegGetValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", RRF_RT_REG_DWORD, nullptr,
                            &old_, &size) == ERROR_SUCCESS;
        set_ = RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", REG_DWORD, &dpi,
                               sizeof dpi) == ERROR_SUCCESS;
        if (!set_) ADD_FAILURE() << "couldn't set the screen's DPI";
    }
    ~ScreenDpi() {
        if (!set_) return;
        if (had_)
            RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", REG_DWORD, &old_,
                            sizeof old_);
        else
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels");
    }
    ScreenDpi(const ScreenDpi&) = delete;
    ScreenDpi& operator=(const ScreenDpi&) = delete;

  private:
    DWORD old_ = 0;
    bool had_ = false, set_ = false;
};

}  // namespace

// The system's message font for as long as it lives; a program reads it as it starts.
struct MessageFont {
    explicit MessageFont(int height) : set(height != 0) {
        old.cbSize = sizeof old;
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof old, &old, 0);
        NONCLIENTMETRICSW larger = old;
        larger.lfMessageFont.lfHeight = -height;
        Set(larger);
    }
    ~MessageFont() { Set(old); }
    void Set(NONCLIENTMETRICSW m) const {
        if (set) SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof m, &m, SPIF_UPDATEINIFILE);
    }
    bool set;
    NONCLIENTMETRICSW old{};
};

App::App(const std::vector<std::wstring>& args, const Env& env, const fs::path& exe, Start start) {
    ScreenDpi dpi(start.dpi);
    MessageFont font(start.font);
    std::wstring line = Quoted(exe.native());
    for (const auto& a : args) line += L" " + Quoted(a);
    for (const auto& [name, value] : env)
        SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    BOOL started = CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &process_);
    if (!started) {
        ADD_FAILURE() << "couldn't start " << exe << ": error " << GetLastError();
        return;
    }
    // Until the window is there, the program may not have read the DPI yet.
    if (!start.window) return;
    Until([&] { return (window_ = Find(process_.dwProcessId, L"CorvaneSetup", nullptr)); });
    if (!window_) ADD_FAILURE() << "the setup window didn't appear";
}

App::~App() {
    if (!process_.hProcess) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

HWND App::Control(int id) const {
    return GetDlgItem(window_, id);
}

std::wstring App::Text(int id) const {
    HWND control = Control(id);
    LRESULT length = SendMessageW(control, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    LRESULT copied =
        SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

void App::SetText(int id, const std::wstring& text) {
    SendMessageW(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool App::Checked(int id) const {
    return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void App::Check(int id, bool on) {
    if (Checked(id) != on) Click(id);
}

bool App::Enabled(int id) const {
    return IsWindowEnabled(Control(id));
}

bool App::Visible(int id) const {
    return IsWindowVisible(Control(id));
}

RECT App::Rect(int id) const {
    RECT r;
    GetWindowRect(Control(id), &r);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

SIZE App::Client() const {
    RECT r;
    GetClientRect(window_, &r);
    return {r.right - r.left, r.bottom - r.top};
}

RECT App::Frame() const {
    RECT r;
    GetWindowRect(window_, &r);
    return r;
}

// Sent without waiting: a sent message is handled before anything posted,
// so the Settle that follows returns only after it (or inside the message
// box it opened).
void App::Click(int id) {
    SendNotifyMessageW(Control(id), BM_CLICK, 0, 0);
    Settle();
}

void App::Post(UINT msg, WPARAM wParam, LPARAM lParam) {
    SendNotifyMessageW(window_, msg, wParam, lParam);
    Settle();
}

void App::Settle() {
    DWORD_PTR result;
    // A modal message box runs its own loop, which handles this too.
    SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
}

// A task dialog lays out its controls, folding its details away, before it
// shows itself: a box is taken only once it is shown.
HWND App::Box(std::chrono::milliseconds limit) const {
    HWND box = nullptr;
    auto shown = [](HWND w) { return IsWindowVisible(w) != FALSE; };
    Until([&] { return (box = Find(process_.dwProcessId, L"#32770", window_, shown)); }, limit);
    return box;
}

HWND App::Box(const std::wstring& text, std::chrono::milliseconds limit) const {
    HWND box = nullptr;
    auto wanted = [&](HWND w) { return IsWindowVisible(w) && BoxText(w) == text; };
    Until([&] { return (box = Find(process_.dwProcessId, L"#32770", window_, wanted)); }, limit);
    return box;
}

std::wstring App::BoxText(HWND box) {
    std::wstring text;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        // A text with a link is a SysLink; its text, without the link's markup.
        bool link = _wcsicmp(ClassOf(c).c_str(), L"SysLink") == 0;
        if (!link && _wcsicmp(ClassOf(c).c_str(), L"Static") != 0) continue;
        // A task dialog keeps its folded details in a hidden one.
        if (!(GetWindowLongW(c, GWL_STYLE) & WS_VISIBLE)) continue;
        wchar_t buffer[2048] = L"";
        SendMessageW(c, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buffer));
        if (*buffer)
            text = link ? std::regex_replace(buffer, std::wregex(L"</?a[^>]*>"), L"") : buffer;
    }
    return text;
}

void App::Answer(HWND box, int button) {
    SendNotifyMessageW(GetDlgItem(box, button), BM_CLICK, 0, 0);
    Until([&] { return !IsWindow(box); }, std::chrono::seconds(10));
}

bool App::Exited(std::chrono::milliseconds limit) const {
    return WaitForSingleObject(process_.hProcess, static_cast<DWORD>(limit.count())) ==
           WAIT_OBJECT_0;
}

int App::ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<int>(code);
}

HWND App::Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window_, nullptr), &info);
    return info.hwndFocus;
}

void App::Key(UINT vk) {
    HWND target = Focus() ? Focus() : window_;
    PostMessageW(target, WM_KEYDOWN, vk, 1);
    PostMessageW(target, WM_KEYUP, vk, 0xC0000001);
}

void App::AltKey(wchar_t letter) {
    HWND target = Focus() ? Focus() : window_;
    PostMessageW(target, WM_SYSCHAR, letter, 0x20000001);  // bit 29: Alt is down
}

void App::ChangeDpi(unsigned dpi, const RECT& suggested) {
    // The message carries a pointer, which no process but the window's can
    // follow: the rectangle goes into the window's own memory.
    void* there = VirtualAllocEx(process_.hProcess, nullptr, sizeof suggested,
                                 MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_TRUE(there);
    ASSERT_TRUE(
        WriteProcessMemory(process_.hProcess, there, &suggested, sizeof suggested, nullptr));
    DWORD_PTR result;
    SendMessageTimeoutW(window_, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                        reinterpret_cast<LPARAM>(there), SMTO_NORMAL, 5000, &result);
    VirtualFreeEx(process_.hProcess, there, 0, MEM_RELEASE);
}

void App::Probe(int box) const {
    DWORD_PTR result;
    SendMessageTimeoutW(window_, RegisterWindowMessageW(L"CorvaneTestProbe"),
                        static_cast<WPARAM>(box), 0, SMTO_NORMAL, 5000, &result);
}

std::intptr_t App::Probed(HWND control, const wchar_t* name) {
    return reinterpret_cast<std::intptr_t>(GetPropW(control, name));
}

std::vector<COLORREF> App::Row(int id) {
    Settle();
    Sleep(300);  // let the control finish painting
    RECT r;
    GetClientRect(Control(id), &r);
    MapWindowPoints(Control(id), nullptr, reinterpret_cast<POINT*>(&r), 2);
    HDC screen = GetDC(nullptr);
    std::vector<COLORREF> row;
    int y = (r.top + r.bottom) / 2;
    for (int x = r.left; x < r.right; ++x) row.push_back(GetPixel(screen, x, y));
    ReleaseDC(nullptr, screen);
    return row;
}

void App::Shot(const std::string& name) {
    const char* dir = std::getenv("CORVANE_SHOTS");
    if (!dir || !*dir) return;  // run by hand, without the screenshot wrapper
    Settle();
    Sleep(300);  // let the controls finish painting
    // The client area and any message box: without a window manager nothing
    // draws the caption.
    RECT r;
    GetClientRect(window_, &r);
    MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&r), 2);
    if (HWND box = Find(process_.dwProcessId, L"#32770", window_)) {
        RECT b;
        GetWindowRect(box, &b);
        UnionRect(&r, &r, &b);
    }
    fs::path png = WinePath(std::string(dir) + "/" + name + ".png");
    std::error_code ec;
    fs::remove(png, ec);
    std::printf("screenshot %s %ld %ld %ld %ld\n", name.c_str(), r.left, r.top, r.right - r.left,
                r.bottom - r.top);
    std::fflush(stdout);
    if (!Until([&] { return fs::exists(png, ec); }, std::chrono::seconds(30)))
        ADD_FAILURE() << "no screenshot " << name;
}

}  // namespace setup::test
