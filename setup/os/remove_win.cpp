#include "os.h"

namespace setup::os {

bool Remove(const std::vector<std::filesystem::path>& paths) {
    bool ok = true;
    for (const std::filesystem::path& path : paths) {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
        ok = ok && !ec;
    }
    return ok;
}

}  // namespace setup::os
