// The box a failed run ends with: the message, its cause under the details,
// and the way to setup.log and to the install folder; and setup.log opened
// wherever no program is set up for it.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include "urls.h"
#include "window.h"
#include "window_texts.h"

namespace setup {

namespace {

constexpr int kIdOpenLog = 200;
constexpr int kIdOpenFolder = 201;

struct Places {
    fs::path log, folder;
};

// Opens the log, a folder in Explorer, or the address of a link; the box
// stays, so that each can be opened.
HRESULT CALLBACK OnBox(HWND box, UINT note, WPARAM button, LPARAM link, LONG_PTR data) {
    if (note == TDN_HYPERLINK_CLICKED) {
        ShellExecuteW(box, L"open", reinterpret_cast<const wchar_t*>(link), nullptr, nullptr,
                      SW_SHOWNORMAL);
        return S_OK;
    }
    if (note != TDN_BUTTON_CLICKED) return S_OK;
    const auto& places = *reinterpret_cast<const Places*>(data);
    if (button == kIdOpenLog) ShowLogFile(box, places.log);
    if (button == kIdOpenFolder)
        ShellExecuteW(box, L"open", places.folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return button == kIdOpenLog || button == kIdOpenFolder ? S_FALSE : S_OK;
}

// The project's issues address, where a message names it, as a link.
std::wstring Linked(const std::wstring& message) {
    std::wstring text = message, address = urls::kIssues;
    std::size_t at = text.find(address);
    if (at != std::wstring::npos)
        text.replace(at, address.size(), L"<a href=\"" + address + L"\">" + address + L"</a>");
    return text;
}

// Notepad is on every Windows, and reads any text file.
bool Notepad(HWND owner, const fs::path& file) {
    wchar_t system[MAX_PATH] = L"";
    UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    fs::path notepad = fs::path(system) / L"notepad.exe";
    auto started =
        ShellExecuteW(owner, L"open", notepad.c_str(), Quote(file).c_str(), nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(started) > 32;
}

}  // namespace

void ShowLogFile(HWND owner, const fs::path& log) {
    auto opened = ShellExecuteW(owner, L"open", log.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(opened) > 32 || Notepad(owner, log)) return;
    MessageBoxW(
        owner,
        Shown(Say(L"No program could open the log. It is here:\n\n{}", PathText(log))).c_str(),
        kTitle, MB_ICONINFORMATION);
}

void ShowFailure(const Outcome& end, const fs::path& installDir) {
    Places places{end.log, installDir};
    std::vector<TASKDIALOG_BUTTON> buttons;
    // A run that never wrote setup.log, or never made its folder, has no such button.
    if (!end.log.empty()) buttons.push_back({kIdOpenLog, T(L"Open &log")});
    if (Exists(installDir)) buttons.push_back({kIdOpenFolder, T(L"Open &folder")});
    // Close answers as the message box it replaces did, so Enter closes it.
    buttons.push_back({IDOK, T(L"&Close")});
    std::vector<std::wstring> labels;
    for (auto& b : buttons) b.pszButtonText = labels.emplace_back(Shown(b.pszButtonText)).c_str();

    TASKDIALOGCONFIG box{};
    box.cbSize = sizeof box;
    box.hwndParent = s_window;
    box.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
    box.pszWindowTitle = kTitle;
    box.pszMainIcon = TD_WARNING_ICON;
    // setup.log has the English; the player reads their own language.
    std::wstring message = Shown(end.message), content = Linked(message);
    std::wstring show = Shown(T(L"Show details")), hide = Shown(T(L"Hide details"));
    box.pszContent = content.c_str();
    if (content != message) box.dwFlags |= TDF_ENABLE_HYPERLINKS;
    if (!end.cause.empty()) {
        box.pszExpandedInformation = end.cause.c_str();
        box.pszCollapsedControlText = show.c_str();
        box.pszExpandedControlText = hide.c_str();
    }
    box.cButtons = static_cast<UINT>(buttons.size());
    box.pButtons = buttons.data();
    box.nDefaultButton = IDOK;
    box.pfCallback = OnBox;
    box.lpCallbackData = reinterpret_cast<LONG_PTR>(&places);
    // Without the common controls 6 the box isn't there: the plain one says the message.
    if (FAILED(TaskDialogIndirect(&box, nullptr, nullptr, nullptr)))
        Ask(end.message, MB_ICONWARNING);
}

}  // namespace setup
