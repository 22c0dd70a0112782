#include <windows.h>

#include "os.h"
#include "setup.h"

namespace setup::os {

bool Launch(const std::filesystem::path& program) {
    std::wstring command = Quote(program);
    std::wstring folder = program.parent_path().native();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // Not in the job: the launcher outlives the setup program.
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace setup::os
