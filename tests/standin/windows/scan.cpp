// An antivirus's scan of new files, for git's clone: CORVANE_GIT_SCAN=MS has
// another process hold the fresh clone for MS milliseconds, a file in it and
// the folder itself open without delete sharing. Windows refuses to rename a
// folder while a file in it is held so; Wine only while the folder is.
#include <windows.h>

#include "standin.h"

namespace standin {

namespace {

struct Owned {
    HANDLE h;
    ~Owned() {
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};

HANDLE Hold(const fs::path& path) {
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

void Scanned(const fs::path& folder) {
    std::optional<std::wstring> ms = Env(L"CORVANE_GIT_SCAN");
    if (!ms || ms->empty()) return;
    std::wstring name = L"corvane-scan-" + std::to_wstring(GetCurrentProcessId());
    Owned ready{CreateEventW(nullptr, TRUE, FALSE, name.c_str())};
    std::wstring line =
        L"\"" + Self().native() + L"\" --scan \"" + folder.native() + L"\" " + *ms + L" " + name;
    // Nothing inherited: the scan must not keep the clone's output open.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(Self().c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &started))
        return;
    Owned process{started.hProcess}, thread{started.hThread};
    HANDLE either[] = {ready.h, process.h};
    WaitForMultipleObjects(2, either, FALSE, INFINITE);
}

int Scan(const Args& args) {
    if (args.size() != 4) return 2;
    fs::path folder = args[1];
    Owned whole{Hold(folder)}, file{Hold(folder / "README.md")};
    Owned ready{OpenEventW(EVENT_MODIFY_STATE, FALSE, args[3].c_str())};
    SetEvent(ready.h);
    Sleep(static_cast<DWORD>(_wtoi(args[2].c_str())));
    return 0;
}

}  // namespace standin
