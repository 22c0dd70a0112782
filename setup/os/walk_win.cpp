// The walk on Windows: FindFirstFileExW on each folder's \\?\ form, so that
// folders deeper than 260 characters are listed as well, which the C
// runtime's own listing (and std::filesystem's, built on it) refuses.
#include <windows.h>

#include <memory>

#include "os.h"
#include "win.h"

namespace setup::os {

namespace {

struct SearchCloser {
    void operator()(HANDLE search) const { FindClose(search); }
};

// A reparse point is a link only when it leads elsewhere: files that cloud
// storage keeps as placeholders are reparse points too.
Kind KindOf(const WIN32_FIND_DATAW& found) {
    bool reparse = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (reparse && (found.dwReserved0 == IO_REPARSE_TAG_SYMLINK ||
                    found.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT))
        return Kind::kLink;
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? Kind::kFolder : Kind::kFile;
}

struct Walker {
    int depth;
    const std::function<bool(const std::filesystem::path&, Kind)>& visit;
    bool stopped = false;

    // `system` is the folder's \\?\ form, `shown` the same folder as the user knows it.
    bool Folder(std::wstring& system, const std::filesystem::path& shown, int level) {
        WIN32_FIND_DATAW found;
        HANDLE first = FindFirstFileExW((system + L"\\*").c_str(), FindExInfoBasic, &found,
                                        FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
        if (first == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
        std::unique_ptr<void, SearchCloser> search(first);
        do {
            const wchar_t* n = found.cFileName;
            if (n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0))) continue;
            Kind kind = KindOf(found);
            std::filesystem::path path = shown / n;
            if (!visit(path, kind)) {
                stopped = true;
                return true;
            }
            if (kind != Kind::kFolder || level >= depth) continue;
            std::size_t size = system.size();
            system += L'\\';
            system += n;
            bool listed = Folder(system, path, level + 1);
            system.resize(size);
            if (!listed) return false;
            if (stopped) return true;
        } while (FindNextFileW(first, &found));
        return GetLastError() == ERROR_NO_MORE_FILES;
    }
};

}  // namespace

bool Walk(const std::filesystem::path& folder, int depth,
          const std::function<bool(const std::filesystem::path&, Kind)>& visit) {
    std::wstring system = Long(folder);
    return Walker{depth, visit}.Folder(system, folder, 0);
}

}  // namespace setup::os
