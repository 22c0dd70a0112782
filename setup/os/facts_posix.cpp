#include "facts.h"

namespace setup {

const wchar_t kPathSeparator = L':';
const wchar_t kUnpackNeeds[] = L"bsdtar, from the libarchive-tools package, is needed";
const wchar_t kBuildCommand[] = L"python3 -u tools/build.py";

std::filesystem::path SystemTar() {
    std::error_code ec;
    return std::filesystem::exists("/usr/bin/bsdtar", ec) ? "/usr/bin/bsdtar" : "bsdtar";
}

}  // namespace setup
