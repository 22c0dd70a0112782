// The walk on Windows: the sizes come from the folder's listing itself, in
// large batches, instead of one query per file.
#include <windows.h>

#include "walk.h"

namespace mosk::maintenance {

namespace {

// A search handle, closed on every path out.
class Search {
  public:
    Search(const fs::path& folder, WIN32_FIND_DATAW& found)
        : h_(FindFirstFileExW((folder / L"*").c_str(), FindExInfoBasic, &found,
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

struct Walker {
    const std::function<bool(const Name&)>& want;
    const std::function<void(const fs::path&, const Name&, std::uint64_t)>& take;
    Name name;

    // False when an error ends the whole walk.
    bool Folder(const fs::path& at, bool top) {
        WIN32_FIND_DATAW found;
        Search search(at, found);
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
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            return link || Folder(at / n, false);  // links to folders are not followed
        name.assign(n);
        if (!want(name)) return true;
        if (!link) {
            take(at, name, (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow);
            return true;
        }
        // A link counts as the file it leads to, which the listing doesn't describe.
        std::error_code ec;
        fs::path file = at / name;
        if (!fs::is_regular_file(fs::status(file, ec))) return true;
        std::uintmax_t size = fs::file_size(file, ec);
        take(at, name, ec ? 0 : size);
        return true;
    }
};

}  // namespace

void Files(
    const fs::path& folder, const std::function<bool(const Name& name)>& want,
    const std::function<void(const fs::path& at, const Name& name, std::uint64_t size)>& take) {
    Walker{want, take, {}}.Folder(folder, true);
}

}  // namespace mosk::maintenance
