// The window's controls, in creation order (which is also the Tab order and
// the order a screen reader reads them in: as the eye does, row by row),
// and the small helpers that read and set them.
#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <memory>
#include <type_traits>

#include "language.h"
#include "window.h"
#include "window_texts.h"

namespace setup {

namespace {

struct Control {
    int id;
    const wchar_t* type;
    const wchar_t* text;  // nullptr: the install folder
    DWORD style;          // besides WS_CHILD | WS_VISIBLE
    int x, y, w, h;       // at 96 DPI
};

constexpr DWORD kEdit = WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;

// The free-space box wraps to two lines; the controls below it sit 12 pixels
// lower than they would under a one-line box.
const Control kControls[] = {
    {0, L"STATIC", L"", SS_ICON, 16, 12, 48, 48},
    {0, L"STATIC", kTitle, SS_NOPREFIX, 76, 14, 540, 26},
    {0, L"STATIC",
     T(L"Builds the game from your own copy of Corvane. The build tools are downloaded if they "
       L"aren't installed; nothing from the game is downloaded."),
     SS_NOPREFIX, 76, 40, 548, 32},
    {kIdSourceGroup, L"BUTTON", T(L"Your copy of Corvane"), BS_GROUPBOX, 12, 78, 616, 96},
    {kIdSourceIso, L"BUTTON", T(L"&Disc image (.iso)"), BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP,
     28, 98, 150, 20},
    {kIdSourceFolder, L"BUTTON", T(L"E&xtracted disc folder"), BS_AUTORADIOBUTTON, 190, 98, 190,
     20},
    {kIdSource, L"EDIT", L"", kEdit | WS_GROUP, 28, 122, 488, 23},
    {kIdSourceBrowse, L"BUTTON", T(L"&Browse..."), WS_TABSTOP, 524, 121, 88, 25},
    {kIdSourceNote, L"STATIC", L"", SS_NOPREFIX, 28, 150, 588, 18},
    {0, L"BUTTON", T(L"Install f&older"), BS_GROUPBOX, 12, 182, 616, 74},
    {kIdInstallDir, L"EDIT", nullptr, kEdit, 28, 204, 488, 23},
    {kIdInstallDirBrowse, L"BUTTON", T(L"B&rowse..."), WS_TABSTOP, 524, 203, 88, 25},
    {kIdSpaceNote, L"STATIC", L"", SS_NOPREFIX, 28, 232, 588, 18},
    {0, L"BUTTON", T(L"When it's done"), BS_GROUPBOX, 12, 264, 616, 98},
    {kIdShortcut, L"BUTTON", T(L"Add a desktop &shortcut to the launcher"),
     BS_AUTOCHECKBOX | WS_TABSTOP, 28, 284, 580, 20},
    {kIdFreeSpace, L"BUTTON",
     T(L"&Free up space: delete the build tools and leftovers (2-4 GB; the next update gets them "
       L"again and takes longer)"),
     BS_AUTOCHECKBOX | BS_MULTILINE | WS_TABSTOP, 28, 304, 580, 30},
    {kIdDeleteImage, L"BUTTON",
     T(L"D&elete the disc image once it's extracted (the game doesn't need it)"),
     BS_AUTOCHECKBOX | WS_TABSTOP, 28, 336, 580, 20},
    {kIdStatus, L"STATIC", kReady, SS_LEFTNOWORDWRAP | SS_ENDELLIPSIS | SS_NOPREFIX, 12, 376, 410,
     20},
    {kIdViewLog, L"BUTTON", T(L"View &log"), WS_TABSTOP, 338, 371, 90, 28},
    {kIdPlay, L"BUTTON", T(L"&Play"), WS_TABSTOP, 434, 371, 90, 28},
    {kIdStart, L"BUTTON", kInstallButton, BS_DEFPUSHBUTTON | WS_TABSTOP, 530, 371, 98, 28},
    {kIdProgress, PROGRESS_CLASSW, L"", 0, 12, 406, 504, 16},
    {kIdDetails, L"BUTTON", kShowDetails, WS_TABSTOP, 524, 402, 104, 24},
    {kIdLog, L"EDIT", L"",
     WS_BORDER | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY, 12, 434,
     kLogWidth, kLogHeight},
    {kIdFigures, L"STATIC", L"", SS_LEFTNOWORDWRAP | SS_ENDELLIPSIS | SS_NOPREFIX, 12, 384, 410,
     18},
    {kIdSummary, L"STATIC", L"", SS_LEFTNOWORDWRAP | SS_ENDELLIPSIS | SS_NOPREFIX, 12, 84, 616, 20},
};
// The choice groups and what they hold, by number: what folding hides. The
// status line and all below it move up meanwhile.
constexpr int kFirstChoice = 4, kLastChoice = 17, kFirstMoved = 18, kSummary = 26;
constexpr int kCount = sizeof kControls / sizeof kControls[0];

HWND s_items[kCount] = {};

struct FontFree {
    void operator()(HFONT font) const { DeleteObject(font); }
};
using Font = std::unique_ptr<std::remove_pointer_t<HFONT>, FontFree>;
struct IconFree {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};
using Icon = std::unique_ptr<std::remove_pointer_t<HICON>, IconFree>;

// Replaced whole when the DPI changes, after every control has the new one.
Font s_font;
Font s_titleFont;
Icon s_icon;

void SetIcon() {
    int size = Scale(48);
    Icon icon(static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0)));
    SendMessageW(s_items[0], STM_SETICON, reinterpret_cast<WPARAM>(icon.get()), 0);
    s_icon = std::move(icon);
}

void SetFonts(HWND control, int number) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(s_font.get()), TRUE);
    if (number == 2)
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(s_titleFont.get()), TRUE);
}

// The initial state that a style alone can't give.
void Prepare(HWND control, int number) {
    switch (number) {
        case 1:
            SetIcon();
            break;
        case 5:
        case 15:
            SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
            break;
        case 19:
        case 20:
        case 25:
        case 26:
            ShowWindow(control, SW_HIDE);
            break;
        case 24:
            SendMessageW(control, EM_LIMITTEXT, 0, 0);
            break;
    }
}

// Whether a label's text is wider than `width` in the label's own font.
bool Wider(HWND label, int width) {
    std::wstring text = Text(GetDlgCtrlID(label));
    HDC dc = GetDC(label);
    if (!dc) return false;
    HGDIOBJ was =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, was);
    ReleaseDC(label, dc);
    return size.cx > width;
}

// A control's top at 96 DPI, where folding puts it.
int Top(int number) {
    const Control& c = kControls[number - 1];
    bool moved = number >= kFirstMoved && number != kSummary;
    return c.y - (s_folded && moved ? kFold : 0);
}

}  // namespace

int Scale(int length) {
    return MulDiv(length, static_cast<int>(s_zoom), 96);
}

// The sizes were made for message fonts of 11 (Tahoma 8 pt) to 12 pixels
// (Segoe UI 9 pt) at 96 DPI. A larger one, such as Windows' "Make text
// bigger" gives, grows every size and place with it, from the smaller.
UINT ZoomFor(LONG height, UINT dpi) {
    int pixels = std::abs(static_cast<int>(height));
    if (pixels * 96 <= 12 * static_cast<int>(dpi)) return dpi;
    return static_cast<UINT>(MulDiv(pixels, 96, 11));
}

void MakeFonts() {
    LOGFONTW message = MetricsFor(s_dpi).lfMessageFont;
    s_zoom = ZoomFor(message.lfHeight, s_dpi);
    LOGFONTW title = message;
    title.lfHeight = title.lfHeight * 3 / 2;
    title.lfWeight = FW_BOLD;
    Font font(CreateFontIndirectW(&message));
    Font titleFont(CreateFontIndirectW(&title));
    for (int number = 1; number <= kCount; ++number)
        if (s_items[number - 1]) {
            SendMessageW(s_items[number - 1], WM_SETFONT, reinterpret_cast<WPARAM>(font.get()),
                         TRUE);
            if (number == 2)
                SendMessageW(s_items[1], WM_SETFONT, reinterpret_cast<WPARAM>(titleFont.get()),
                             TRUE);
        }
    s_font = std::move(font);
    s_titleFont = std::move(titleFont);
}

void CreateControls(int first, int last, const std::wstring& installDir) {
    HINSTANCE module = GetModuleHandleW(nullptr);
    for (int number = first; number <= last; ++number) {
        const Control& c = kControls[number - 1];
        HWND control = CreateWindowExW(
            0, c.type, c.text ? Shown(c.text).c_str() : installDir.c_str(),
            WS_CHILD | WS_VISIBLE | c.style, Scale(c.x), Scale(c.y), Scale(c.w), Scale(c.h),
            s_window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), module, nullptr);
        s_items[number - 1] = control;
        SetFonts(control, number);
        Prepare(control, number);
    }
}

void Place() {
    for (int number = 1; number <= kCount; ++number) {
        const Control& c = kControls[number - 1];
        SetWindowPos(s_items[number - 1], nullptr, Scale(c.x), Scale(Top(number)), Scale(c.w),
                     Scale(c.h), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SetIcon();
    FitStatus();
}

void ShowChoices(bool on) {
    for (int number = kFirstChoice; number <= kLastChoice; ++number)
        ShowWindow(s_items[number - 1], on ? SW_SHOW : SW_HIDE);
}

void FitStatus() {
    int width = Scale(IsWindowVisible(Item(kIdViewLog)) ? 318 : 410);
    HWND status = Item(kIdStatus);
    // With figures the two lines share the buttons' row; alone the stage is
    // in its middle, or, too long for one line, wraps over both.
    bool figures = IsWindowVisible(Item(kIdFigures));
    bool wrap = !figures && Wider(status, width);
    LONG_PTR was = GetWindowLongPtrW(status, GWL_STYLE);
    // An ellipsis keeps a label to one line, under Wine as on Windows.
    LONG_PTR style = (was & ~static_cast<LONG_PTR>(SS_TYPEMASK | SS_ENDELLIPSIS)) |
                     (wrap ? SS_LEFT : SS_LEFTNOWORDWRAP | SS_ENDELLIPSIS);
    int top = Top(18) - (figures || wrap ? 10 : 0);
    RECT place{Scale(12), Scale(top), Scale(12) + width,
               Scale(top + (figures ? 18
                            : wrap  ? 36
                                    : 20))};
    RECT now;
    GetWindowRect(status, &now);
    MapWindowPoints(nullptr, s_window, reinterpret_cast<POINT*>(&now), 2);
    // A download's figures come several times a second: only a change of
    // place is drawn anew.
    if (style == was && EqualRect(&now, &place)) return;
    SetWindowLongPtrW(status, GWL_STYLE, style);
    SetWindowPos(status, nullptr, place.left, place.top, width, place.bottom - place.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(Item(kIdFigures), nullptr, 0, 0, width, Scale(18),
                 SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    // The window paints its background over the row where a line was hidden
    // or moved, status included, after the status has drawn itself: the row
    // is drawn again whole, its controls last.
    RECT row{0, Scale(Top(18) - 10), Scale(kClientWidth), Scale(Top(18) + 28)};
    RedrawWindow(s_window, &row, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void SetFigures(const std::wstring& text) {
    if (Shown(text) == Text(kIdFigures)) return;
    SetText(kIdFigures, text);
    Show(kIdFigures, !text.empty());
    FitStatus();
}

void SetStatus(const std::wstring& text) {
    ShowStatus(Shown(text));
}

void ShowStatus(const std::wstring& shown) {
    Put(kIdStatus, OneLine(shown));
    FitStatus();
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

// Text already in the player's language; a change is announced.
void Put(int id, const std::wstring& shown) {
    bool changed = shown != Text(id);
    SetWindowTextW(Item(id), shown.c_str());
    if (changed) Spoken(id);
}

void SetText(int id, const std::wstring& text) {
    // What the user types is never translated.
    bool typed = id == kIdSource || id == kIdInstallDir || id == kIdLog;
    Put(id, typed ? text : Shown(text));
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
    // Quiet: a question takes its safe answer, No, unless the command line said yes.
    if (s_quiet) {
        if ((flags & MB_TYPEMASK) != MB_YESNO) return IDOK;
        return s_yes ? IDYES : IDNO;
    }
    return MessageBoxW(s_window, Shown(text).c_str(), kTitle, flags);
}

}  // namespace setup
