// The window's 23 controls, in creation order (which is also the Tab order),
// and the small helpers that read and set them.
#include <windows.h>

#include <commctrl.h>

#include "window.h"
#include "window_texts.h"

namespace setup {

namespace {

struct Control {
    int id;
    const wchar_t* type;
    const wchar_t* text;  // nullptr: the install folder
    DWORD style;          // besides WS_CHILD | WS_VISIBLE
    int x, y, w, h;
};

constexpr DWORD kEdit = WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;

const Control kControls[] = {
    {0, L"STATIC", L"", SS_ICON, 16, 12, 48, 48},
    {0, L"STATIC", kTitle, 0, 76, 14, 540, 26},
    {0, L"STATIC",
     L"Builds the game from your own copy of Corvane. The build tools are downloaded if they "
     L"aren't installed; nothing from the game is downloaded.",
     0, 76, 40, 548, 32},
    {kIdSourceGroup, L"BUTTON", L"Your copy of Corvane", BS_GROUPBOX, 12, 78, 616, 96},
    {kIdSourceIso, L"BUTTON", L"Disc image (.iso)", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 28,
     98, 150, 20},
    {kIdSourceFolder, L"BUTTON", L"Extracted disc folder", BS_AUTORADIOBUTTON, 190, 98, 190, 20},
    {kIdSource, L"EDIT", L"", kEdit | WS_GROUP, 28, 122, 488, 23},
    {kIdSourceBrowse, L"BUTTON", L"Browse...", WS_TABSTOP, 524, 121, 88, 25},
    {kIdSourceNote, L"STATIC", L"", 0, 28, 150, 588, 18},
    {0, L"BUTTON", L"Install folder", BS_GROUPBOX, 12, 182, 616, 74},
    {kIdInstallDir, L"EDIT", nullptr, kEdit, 28, 204, 488, 23},
    {kIdInstallDirBrowse, L"BUTTON", L"Browse...", WS_TABSTOP, 524, 203, 88, 25},
    {kIdSpaceNote, L"STATIC", L"", 0, 28, 232, 588, 18},
    {0, L"BUTTON", L"When it's done", BS_GROUPBOX, 12, 264, 616, 86},
    {kIdShortcut, L"BUTTON", L"Add a desktop shortcut to the launcher",
     BS_AUTOCHECKBOX | WS_TABSTOP, 28, 284, 580, 20},
    {kIdFreeSpace, L"BUTTON",
     L"Free up space: delete the build tools and leftovers (2-4 GB; the next update gets them "
     L"again and takes longer)",
     BS_AUTOCHECKBOX | WS_TABSTOP, 28, 304, 590, 20},
    {kIdDeleteImage, L"BUTTON",
     L"Delete the disc image once it's extracted (the game doesn't need it)",
     BS_AUTOCHECKBOX | WS_TABSTOP, 28, 324, 580, 20},
    {kIdStatus, L"STATIC", L"Ready.", SS_LEFTNOWORDWRAP | SS_ENDELLIPSIS, 12, 364, 410, 20},
    {kIdPlay, L"BUTTON", L"Play", WS_TABSTOP, 434, 359, 90, 28},
    {kIdStart, L"BUTTON", L"Install", BS_DEFPUSHBUTTON | WS_TABSTOP, 530, 359, 98, 28},
    {kIdProgress, PROGRESS_CLASSW, L"", 0, 12, 394, 504, 16},
    {kIdDetails, L"BUTTON", L"Show details", WS_TABSTOP, 524, 390, 104, 24},
    {kIdLog, L"EDIT", L"", WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY, 12,
     422, 616, 228},
};

// The initial state that a style alone can't give.
void Prepare(HWND control, int number) {
    HINSTANCE module = GetModuleHandleW(nullptr);
    switch (number) {
        case 1:
            SendMessageW(control, STM_SETICON,
                         reinterpret_cast<WPARAM>(
                             LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, 48, 48, 0)),
                         0);
            break;
        case 2:
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(s_titleFont), TRUE);
            break;
        case 5:
        case 15:
            SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
            break;
        case 19:
            ShowWindow(control, SW_HIDE);
            break;
        case 23:
            SendMessageW(control, EM_LIMITTEXT, 0, 0);
            break;
    }
}

}  // namespace

void CreateControls(int first, int last, const std::wstring& installDir) {
    HINSTANCE module = GetModuleHandleW(nullptr);
    for (int number = first; number <= last; ++number) {
        const Control& c = kControls[number - 1];
        HWND control =
            CreateWindowExW(0, c.type, c.text ? c.text : installDir.c_str(),
                            WS_CHILD | WS_VISIBLE | c.style, c.x, c.y, c.w, c.h, s_window,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), module, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(s_font), TRUE);
        Prepare(control, number);
    }
}

HWND Item(int id) {
    return GetDlgItem(s_window, id);
}

std::wstring Text(int id) {
    HWND control = Item(id);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    int copied = GetWindowTextW(control, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

void SetText(int id, const std::wstring& text) {
    SetWindowTextW(Item(id), text.c_str());
}

bool Checked(int id) {
    return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Enable(int id, bool on) {
    EnableWindow(Item(id), on);
}

void Show(int id, bool on) {
    ShowWindow(Item(id), on ? SW_SHOW : SW_HIDE);
}

int Ask(const std::wstring& text, UINT flags) {
    return MessageBoxW(s_window, text.c_str(), kTitle, flags);
}

}  // namespace setup
