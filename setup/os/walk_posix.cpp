#include "os.h"

namespace setup::os {

namespace fs = std::filesystem;

namespace {

Kind KindOf(fs::file_type type) {
    switch (type) {
        case fs::file_type::regular:
            return Kind::kFile;
        case fs::file_type::directory:
            return Kind::kFolder;
        case fs::file_type::symlink:
            return Kind::kLink;
        default:
            return Kind::kOther;
    }
}

}  // namespace

bool Walk(const fs::path& folder, int depth,
          const std::function<bool(const fs::path&, Kind)>& visit) {
    std::error_code ec;
    fs::recursive_directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        fs::file_type type = it->symlink_status(ec).type();
        if (ec) return false;
        Kind kind = KindOf(type);
        if (!visit(it->path(), kind)) return true;
        if (kind == Kind::kFolder && it.depth() >= depth) it.disable_recursion_pending();
    }
    return !ec;
}

}  // namespace setup::os
