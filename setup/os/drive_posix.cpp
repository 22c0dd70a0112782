#include <sys/stat.h>

#include "os.h"
#include "setup.h"

namespace setup::os {

std::wstring DriveOf(const std::filesystem::path& folder) {
    std::filesystem::path at = folder.lexically_normal();
    struct stat here {};
    if (stat(at.c_str(), &here) != 0) return PathText(folder);
    // The mount point is the highest folder on the same device.
    while (at.has_relative_path()) {
        struct stat up {};
        std::filesystem::path parent = at.parent_path();
        if (stat(parent.c_str(), &up) != 0 || up.st_dev != here.st_dev) break;
        at = parent;
    }
    return PathText(at);
}

}  // namespace setup::os
