#include <windows.h>

#include "facts.h"

namespace setup {

const wchar_t kPathSeparator = L';';
const wchar_t kUnpackNeeds[] = L"Windows 10 1803 or later is needed";
const wchar_t kBuildCommand[] = L"python -u tools\\build.py";

std::filesystem::path SystemTar() {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    return std::filesystem::path(system) / L"tar.exe";
}

}  // namespace setup
