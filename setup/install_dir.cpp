#include "install_dir.h"

#include <algorithm>
#include <cwctype>

namespace setup {

std::wstring DefaultInstallDir(const std::wstring& update, const fs::path& programDir,
                               const std::wstring& systemDrive) {
    if (!update.empty()) return update;
    if (Exists(LayoutOf(programDir).source / ".git")) return PathText(programDir);
    return systemDrive + L"\\Corvane-Recomp";
}

fs::path InstallDirFor(const fs::path& picked) {
    // Windows' file system matches names whatever their case: "corvane-recomp"
    // is the same folder, and nesting one more inside it would be a surprise.
    std::wstring name = PathText(picked.filename());
    const std::wstring wanted = L"corvane-recomp";
    bool same = name.size() == wanted.size() &&
                std::equal(name.begin(), name.end(), wanted.begin(),
                           [](wchar_t a, wchar_t b) { return std::towlower(a) == std::wint_t(b); });
    if (same) return picked;
    return picked / "Corvane-Recomp";
}

fs::path NearestExisting(fs::path path) {
    while (!Exists(path)) {
        fs::path up = path.parent_path();
        if (up.empty() || up == path) break;
        path = up;
    }
    return path;
}

bool Installed(const fs::path& installDir) {
    return Exists(LayoutOf(installDir).xex);
}

}  // namespace setup
