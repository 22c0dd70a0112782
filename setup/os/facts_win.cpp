#include <windows.h>

#include "facts.h"

namespace setup {

const wchar_t kPathSeparator = L';';
const wchar_t* const kUnpackNeeds = T(L"Windows 10 1803 or later is needed");
const wchar_t kBuildCommand[] = L"python -u tools\\build.py";
const wchar_t kUnpackOptions[] = L"";
// A paging file of a fixed size is the usual reason a machine with enough
// disk runs out: letting Windows size it gives the build room.
const wchar_t* const kMemoryAdvice =
    T(L"If the paging file has a fixed size, let Windows manage it: Settings > System > About > "
      L"Advanced system settings > Performance Settings > Advanced > Virtual memory > Change > "
      L"\"Automatically manage paging file size for all drives\".");
// tar.exe isn't long-path aware: a current folder must leave room for the
// final backslash and the terminating null within MAX_PATH.
const std::size_t kUnpackFolderLimit = MAX_PATH - 2;

std::filesystem::path SystemTar() {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    return std::filesystem::path(system) / L"tar.exe";
}

bool IsArchive(const std::string& head) {
    return head.compare(0, 4, std::string("PK\x03\x04", 4)) == 0;
}

}  // namespace setup
