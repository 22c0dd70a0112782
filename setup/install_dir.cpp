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

namespace {

bool Starts(const std::wstring& text, const wchar_t* prefix) {
    return text.rfind(prefix, 0) == 0;
}

bool DriveForm(const std::wstring& path) {
    return path.size() >= 3 && std::iswalpha(path[0]) && path[1] == L':' &&
           (path[2] == L'\\' || path[2] == L'/');
}

// The path without its \\?\ or \\.\ prefix; empty for a device path.
std::wstring Plain(const std::wstring& path) {
    if (Starts(path, L"\\\\?\\UNC\\")) return L"\\\\" + path.substr(8);
    if (!Starts(path, L"\\\\?\\") && !Starts(path, L"\\\\.\\")) return path;
    std::wstring rest = path.substr(4);
    return DriveForm(rest) ? rest : std::wstring();
}

// Each name without its trailing spaces and dots; false when one had nothing else.
bool Trim(std::wstring& path) {
    std::wstring out;
    for (std::size_t from = 0; from <= path.size();) {
        std::size_t to = std::min(path.find_first_of(L"\\/", from), path.size());
        std::wstring name = path.substr(from, to - from);
        if (name != L"." && name != L"..") {
            std::size_t kept = name.find_last_not_of(L" .");
            if (kept == std::wstring::npos && !name.empty()) return false;
            name.erase(kept + 1);
        }
        out += name;
        if (to < path.size()) out += path[to];
        from = to + 1;
    }
    path = out;
    return true;
}

// The drive's root or the network share the folder is on; empty for a
// relative path.
std::wstring Top(const std::wstring& path) {
    if (DriveForm(path)) return path.substr(0, 3);
    if (!Starts(path, L"\\\\")) return {};
    std::size_t server = path.find_first_of(L"\\/", 2);
    if (server == std::wstring::npos) return path;
    std::size_t share = path.find_first_of(L"\\/", server + 1);
    return share == std::wstring::npos ? path : path.substr(0, share + 1);
}

}  // namespace

std::wstring UsableInstallDir(const std::wstring& typed, std::wstring& mistake) {
    std::wstring folder = Plain(typed);
    if (folder.empty() && !typed.empty()) {
        mistake =
            Say(L"{} is a device path, which Setup can't install to. Give the folder with its "
                L"drive letter (C:\\Corvane-Recomp) or as a network path "
                L"(\\\\server\\share\\Corvane-Recomp).",
                typed);
        return {};
    }
    if (!Trim(folder)) {
        mistake =
            Say(L"{} has a name of only dots and spaces, which Windows can't give a folder. "
                L"Choose another folder.",
                typed);
        return {};
    }
    std::wstring top = Top(folder);
    if (!top.empty() && !Exists(ToPath(top))) {
        mistake =
            Say(L"{} can't be reached: {} isn't there. Connect the drive or network share, or "
                L"choose a folder on this PC.",
                folder, top);
        return {};
    }
    return folder;
}

std::wstring AlreadyWorking(const fs::path& installDir) {
    return Say(L"Another Corvane Recompiled Setup is already working in {}.", PathText(installDir));
}

bool Installed(const fs::path& installDir) {
    return Exists(LayoutOf(installDir).xex);
}

}  // namespace setup
