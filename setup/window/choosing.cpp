// Choosing the source (a disc image or an extracted folder) and the install
// folder, and the two grey notes under them.
#include <windows.h>

#include <commdlg.h>
#include <objbase.h>
#include <shobjidl.h>

#include <memory>

#include "com_win.h"
#include "install_dir.h"
#include "window.h"
#include "window_texts.h"

namespace setup {

namespace {

struct TaskFree {
    void operator()(wchar_t* text) const { CoTaskMemFree(text); }
};

}  // namespace

std::wstring PickFolder() {
    Com<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFileOpenDialog, dialog.Out())))
        return {};
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS);
    if (FAILED(dialog->Show(s_window))) return {};  // also when cancelled
    Com<IShellItem> item;
    if (FAILED(dialog->GetResult(item.Put()))) return {};
    wchar_t* name = nullptr;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &name))) return {};
    std::unique_ptr<wchar_t, TaskFree> owned(name);
    return name;
}

void BrowseSource() {
    if (Checked(kIdSourceFolder)) {
        std::wstring folder = PickFolder();
        if (!folder.empty()) SetText(kIdSource, folder);
        return;
    }
    wchar_t file[260] = L"";
    OPENFILENAMEW open{};
    open.lStructSize = sizeof open;
    open.hwndOwner = s_window;
    // Each name, then its pattern.
    std::wstring filter = Shown(T(L"Disc images (*.iso)")) + L'\0' + L"*.iso" + L'\0' +
                          Shown(T(L"All files")) + L'\0' + L"*.*" + L'\0';
    open.lpstrFilter = filter.c_str();
    open.nFilterIndex = 1;
    open.lpstrFile = file;
    open.nMaxFile = 260;
    open.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    if (GetOpenFileNameW(&open)) SetText(kIdSource, file);
}

void BrowseDir() {
    std::wstring picked = PickFolder();
    if (picked.empty()) return;
    SetText(kIdInstallDir, PathText(InstallDirFor(ToPath(picked))));
}

void UpdateSourceChoice() {
    bool folder = Checked(kIdSourceFolder);
    SetText(kIdSourceNote, folder ? kFolderNote : kImageNote);
    // Browse now picks the other kind, and is named for it.
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, Item(kIdSourceBrowse), OBJID_CLIENT, CHILDID_SELF);
    if (folder) {
        // Deleting a disc image makes no sense for an extracted folder.
        Enable(kIdDeleteImage, false);
        SendMessageW(Item(kIdDeleteImage), BM_SETCHECK, BST_UNCHECKED, 0);
    } else {
        Enable(kIdDeleteImage, !s_busy.load());
    }
}

void UpdateFreeSpace() {
    std::wstring dir = Text(kIdInstallDir);
    if (dir.empty()) return SetText(kIdSpaceNote, L"");
    fs::path nearest = NearestExisting(ToPath(dir));
    ULARGE_INTEGER available{};
    if (nearest.empty() ||
        !GetDiskFreeSpaceExW(PathText(nearest).c_str(), &available, nullptr, nullptr))
        return SetText(kIdSpaceNote, L"");
    SetText(kIdSpaceNote, SpaceNote(available.QuadPart));
}

LRESULT GreyNote(HDC dc) {
    // A high-contrast theme keeps its grey for what can't be used; the notes
    // are read, and take its text colour.
    HIGHCONTRASTW contrast{sizeof contrast, 0, nullptr};
    bool high = SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
                (contrast.dwFlags & HCF_HIGHCONTRASTON);
    SetTextColor(dc, GetSysColor(high ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

}  // namespace setup
