// The walk on Windows: the sizes come from the folder's listing itself, in
// large batches, instead of one query per file. Folders are listed in their
// \\?\ form, so that those deeper than 260 characters are measured too.
#include <windows.h>

#include "walk.h"
#include "win.h"

namespace mosk::maintenance {

namespace {

// A search handle, closed on every path out.
class Search {
  public:
    Search(const std::wstring& folder, WIN32_FIND_DATAW& found)
        : h_(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found,
                              FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH)) {}
    ~Search() {
        if (h_ != INVALID_HANDLE_VALUE) FindClose(h_);
    }
    Search(const Search&) = delete;
    Search& operator=(const Search&) = delete;
    HANDLE get() const { return h_; }

  private:
    HANDLE h_;
};

// The size of the regular file a link leads to; none for a folder or nothing.
bool TargetSize(const std::wstring& link, std::uint64_t& size) {
    HANDLE file = CreateFileW(link.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool read = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    if (!read || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    return true;
}

struct Walker {
    const std::function<bool(const Name&)>& want;
    const std::function<void(const fs::path&, const Name&, std::uint64_t)>& take;
    Name name;
    std::wstring system;  // the folder being listed, in its \\?\ form

    // False when an error ends the whole walk.
    bool Folder(const fs::path& at, bool top) {
        WIN32_FIND_DATAW found;
        Search search(system, found);
        if (search.get() == INVALID_HANDLE_VALUE) {
            DWORD error = GetLastError();
            // An empty folder lists nothing; one that may not be read is skipped.
            return !top && (error == ERROR_FILE_NOT_FOUND || error == ERROR_ACCESS_DENIED);
        }
        do {
            if (!Entry(at, found)) return false;
        } while (FindNextFileW(search.get(), &found));
        return GetLastError() == ERROR_NO_MORE_FILES;
    }

    bool Entry(const fs::path& at, const WIN32_FIND_DATAW& found) {
        const wchar_t* n = found.cFileName;
        if (n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0))) return true;
        bool link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (link) return true;  // links to folders are not followed
            std::size_t size = system.size();
            system += L'\\';
            system += n;
            bool ok = Folder(at / n, false);
            system.resize(size);
            return ok;
        }
        name.assign(n);
        if (!want(name)) return true;
        std::uint64_t bytes = (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
        // A link counts as the file it leads to, which the listing doesn't describe.
        if (!link || TargetSize(system + L'\\' + n, bytes)) take(at, name, bytes);
        return true;
    }
};

}  // namespace

void Files(
    const fs::path& folder, const std::function<bool(const Name& name)>& want,
    const std::function<void(const fs::path& at, const Name& name, std::uint64_t size)>& take) {
    Walker walker{want, take, {}, setup::os::Long(folder)};
    walker.Folder(folder, true);
}

}  // namespace mosk::maintenance
