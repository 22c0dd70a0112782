#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "com_win.h"
#include "desktop.h"

namespace setup::test {

namespace fs = std::filesystem;

// Tests run in parallel processes that share the prefix's one desktop; a
// named mutex lets one test at a time have it.
struct Desktop::Impl {
    HANDLE turn = CreateMutexW(nullptr, FALSE, L"CorvaneSetupTestDesktop");
    fs::path folder;

    void Clear() const {
        if (folder.empty()) return;  // never a relative path in the current folder
        std::error_code ec;
        fs::remove_all(folder / L"Corvane Recompiled.lnk", ec);
    }
};

Desktop::Desktop() : impl_(std::make_unique<Impl>()) {
    WaitForSingleObject(impl_->turn, INFINITE);  // an abandoned turn is ours as well
    wchar_t folder[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, folder);
    impl_->folder = folder;
    impl_->Clear();
}

Desktop::~Desktop() {
    impl_->Clear();
    ReleaseMutex(impl_->turn);
    CloseHandle(impl_->turn);
}

fs::path Desktop::Shortcut() const {
    return impl_->folder / L"Corvane Recompiled.lnk";
}

// Reads the link through the shell's own object; the test's thread has COM.
std::optional<Link> Desktop::Read() const {
    Com<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.Out())))
        return std::nullopt;
    Com<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.Out()))) return std::nullopt;
    if (FAILED(file->Load(Shortcut().c_str(), STGM_READ))) return std::nullopt;
    wchar_t target[MAX_PATH] = {}, dir[MAX_PATH] = {}, description[MAX_PATH] = {};
    link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    link->GetWorkingDirectory(dir, MAX_PATH);
    link->GetDescription(description, MAX_PATH);
    return Link{target, dir, description};
}

}  // namespace setup::test
