// The box a failed run ends with: the message, its cause under the details,
// and the way to setup.log and to the install folder.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include "window.h"
#include "window_texts.h"

namespace setup {

namespace {

constexpr int kIdOpenLog = 200;
constexpr int kIdOpenFolder = 201;

struct Places {
    fs::path log, folder;
};

// Opens a file with the program the system has for its kind, a folder in
// Explorer; the box stays, so that both can be opened.
HRESULT CALLBACK OnBox(HWND box, UINT note, WPARAM button, LPARAM, LONG_PTR data) {
    if (note != TDN_BUTTON_CLICKED) return S_OK;
    const auto& places = *reinterpret_cast<const Places*>(data);
    if (button != kIdOpenLog && button != kIdOpenFolder) return S_OK;
    const fs::path& path = button == kIdOpenLog ? places.log : places.folder;
    ShellExecuteW(box, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return S_FALSE;
}

}  // namespace

void ShowFailure(const Outcome& end, const fs::path& installDir) {
    Places places{end.log, installDir};
    std::vector<TASKDIALOG_BUTTON> buttons;
    // A run that never wrote setup.log, or never made its folder, has no such button.
    if (!end.log.empty()) buttons.push_back({kIdOpenLog, L"Open &log"});
    if (Exists(installDir)) buttons.push_back({kIdOpenFolder, L"Open &folder"});
    // Close answers as the message box it replaces did, so Enter closes it.
    buttons.push_back({IDOK, L"&Close"});

    TASKDIALOGCONFIG box{};
    box.cbSize = sizeof box;
    box.hwndParent = s_window;
    box.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
    box.pszWindowTitle = kTitle;
    box.pszMainIcon = TD_WARNING_ICON;
    box.pszContent = end.message.c_str();
    if (!end.cause.empty()) {
        box.pszExpandedInformation = end.cause.c_str();
        box.pszCollapsedControlText = L"Show details";
        box.pszExpandedControlText = L"Hide details";
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
