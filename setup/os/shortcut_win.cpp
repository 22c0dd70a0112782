// The desktop shortcut through the shell's link object. The worker has
// initialised COM as a single-threaded apartment for the run.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "com_win.h"
#include "os.h"

namespace setup::os {

bool Shortcut(const std::filesystem::path& target, const std::filesystem::path& workingDir,
              const std::wstring& description, const std::wstring& name) {
    wchar_t desktop[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop)))
        return false;
    Com<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.Out())))
        return false;
    link->SetPath(target.c_str());
    link->SetWorkingDirectory(workingDir.c_str());
    link->SetDescription(description.c_str());
    // Declared after the link, so it is released first.
    Com<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.Out()))) return false;
    std::filesystem::path lnk = std::filesystem::path(desktop) / (name + L".lnk");
    return SUCCEEDED(file->Save(lnk.c_str(), TRUE));
}

}  // namespace setup::os
