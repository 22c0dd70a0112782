#include "install_dir.h"

namespace setup {

std::wstring DefaultInstallDir(const std::wstring& update, const fs::path& programDir,
                               const std::wstring& systemDrive) {
    if (!update.empty()) return update;
    if (Exists(LayoutOf(programDir).source / ".git")) return PathText(programDir);
    return systemDrive + L"\\Corvane-Recomp";
}

fs::path InstallDirFor(const fs::path& picked) {
    if (picked.filename() == fs::path("Corvane-Recomp")) return picked;
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
