// Questions whose buttons say what each answer does, as task dialogs.
#include <windows.h>

#include <commctrl.h>

#include "window.h"
#include "window_texts.h"

namespace setup {

namespace {

HWND s_open = nullptr;  // the question open now, if any

// Centred on the window, however the question came: asked from the title
// bar's close box, Wine put it at the window's top-left corner.
void Centre(HWND box) {
    RECT owner, own;
    if (!GetWindowRect(s_window, &owner) || !GetWindowRect(box, &own)) return;
    int x = (owner.left + owner.right - (own.right - own.left)) / 2;
    int y = (owner.top + owner.bottom - (own.bottom - own.top)) / 2;
    SetWindowPos(box, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HRESULT CALLBACK OnChoice(HWND box, UINT note, WPARAM, LPARAM, LONG_PTR) {
    if (note == TDN_CREATED) {
        s_open = box;
        Centre(box);
    }
    if (note == TDN_DESTROYED) s_open = nullptr;
    return S_OK;
}

}  // namespace

int Choose(const std::wstring& text, const std::vector<Reply>& answers, int byDefault, bool links) {
    std::vector<TASKDIALOG_BUTTON> buttons;
    std::vector<std::wstring> labels;
    // Reserved first: the buttons point into it.
    labels.reserve(answers.size());
    for (const Reply& a : answers)
        buttons.push_back({a.id, labels.emplace_back(Shown(a.label)).c_str()});
    std::wstring content = Shown(text);
    TASKDIALOGCONFIG box{};
    box.cbSize = sizeof box;
    box.hwndParent = s_window;
    // Esc and the close box answer as the default does: the careful answer.
    box.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW |
                  (links ? TDF_USE_COMMAND_LINKS : 0);
    box.pszWindowTitle = kTitle;
    // A question's own icon; task dialogs name none of their own for it.
    box.dwFlags |= TDF_USE_HICON_MAIN;
    box.hMainIcon = LoadIconW(nullptr, IDI_QUESTION);
    box.pszContent = content.c_str();
    box.cButtons = static_cast<UINT>(buttons.size());
    box.pButtons = buttons.data();
    box.nDefaultButton = byDefault;
    box.pfCallback = OnChoice;
    int chosen = 0;
    bool cancel = false;
    for (const Reply& a : answers) cancel = cancel || a.id == IDCANCEL;
    // Esc gives IDCANCEL: the question's own Cancel, where it has one.
    if (SUCCEEDED(TaskDialogIndirect(&box, &chosen, nullptr, nullptr)))
        return chosen == IDCANCEL && !cancel ? byDefault : chosen;
    // Without the common controls 6: the plain box, its buttons in the same order.
    UINT kind = answers.size() > 2 ? MB_YESNOCANCEL : MB_YESNO;
    UINT second = answers.size() > 1 && answers[1].id == byDefault ? MB_DEFBUTTON2 : 0;
    int plain = Ask(text, kind | MB_ICONQUESTION | second);
    std::size_t at = plain == IDYES ? 0 : plain == IDNO ? 1 : 2;
    return at < answers.size() ? answers[at].id : byDefault;
}

void Withdraw(int id) {
    if (s_open) SendMessageW(s_open, TDM_CLICK_BUTTON, static_cast<WPARAM>(id), 0);
}

}  // namespace setup
