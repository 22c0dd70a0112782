#include "facts.h"

namespace setup {

const wchar_t kPathSeparator = L':';
const wchar_t* const kUnpackNeeds = T(L"bsdtar, from the libarchive-tools package, is needed");
const wchar_t kBuildCommand[] = L"python3 -u tools/build.py";
const std::size_t kUnpackFolderLimit = 0;
const wchar_t* const kMemoryAdvice = L"";
// Run as root, bsdtar would give the files the archive's owners and keep
// their set-user-id bits.
const wchar_t kUnpackOptions[] = L" --no-same-owner --no-same-permissions";

std::filesystem::path SystemTar() {
    std::error_code ec;
    return std::filesystem::exists("/usr/bin/bsdtar", ec) ? "/usr/bin/bsdtar" : "bsdtar";
}

bool IsArchive(const std::string& head) {
    for (const std::string& magic : {std::string("PK\x03\x04", 4), std::string("\x1f\x8b", 2),
                                     std::string("\xfd"
                                                 "7zXZ\x00",
                                                 6)})
        if (head.compare(0, magic.size(), magic) == 0) return true;
    return false;
}

}  // namespace setup
