#include <windows.h>

#include "os.h"
#include "setup.h"
#include "win.h"

namespace setup::os {

bool Launch(const std::filesystem::path& program, bool* blocked) {
    std::wstring command = Quote(program);
    std::wstring folder = program.parent_path().native();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // Not in the job: the launcher outlives the setup program.
    if (!Create(command, folder.c_str(), FALSE, 0, &startup, &process)) {
        if (blocked) *blocked = PolicyRefused();
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace setup::os
