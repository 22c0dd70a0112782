#include <windows.h>

#include "os.h"
#include "setup.h"

namespace setup::os {

std::wstring DriveOf(const std::filesystem::path& folder) {
    wchar_t root[MAX_PATH] = {};
    if (GetVolumePathNameW(folder.c_str(), root, MAX_PATH)) {
        std::wstring text = root;
        // "C:\" is the drive C: to the user.
        if (text.size() == 3 && text[1] == L':') text.pop_back();
        return text;
    }
    return PathText(folder.root_name().empty() ? folder : folder.root_name());
}

}  // namespace setup::os
