#include <cwctype>

#include "maintenance.h"
#include "setup.h"

namespace mosk::maintenance {

namespace {

const wchar_t* const kLeftoverExtensions[] = {L".obj", L".o",   L".a",  L".lib",
                                              L".pch", L".map", L".gch"};

bool IsFolder(const fs::path& path) {
    std::error_code ec;
    return fs::is_directory(fs::status(path, ec));
}

// Every entry below a folder, without following links to folders and skipping
// folders that may not be read; any other error ends the walk where it is.
template <class Visit>
void Walk(const fs::path& folder, Visit visit) {
    std::error_code ec;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    for (const fs::recursive_directory_iterator end; !ec && it != end; it.increment(ec)) visit(*it);
}

// The type comes from the walk's cache; only a link or an entry of unknown
// type costs a status query.
bool IsFile(const fs::directory_entry& entry) {
    std::error_code ec;
    return entry.is_regular_file(ec);
}

std::uint64_t Bytes(const fs::directory_entry& entry) {
    std::error_code ec;
    std::uintmax_t size = entry.file_size(ec);
    return ec ? 0 : size;
}

// The extension from the last dot of the file name, every unit through towlower.
std::wstring Lowered(const fs::path& file) {
    std::wstring text = setup::PathText(file.extension());
    for (wchar_t& unit : text) unit = static_cast<wchar_t>(std::towlower(unit));
    return text;
}

// Lower against each extension in turn, with the file's extension worked out
// once: the walk meets every file of the build folder.
bool IsLeftover(const fs::path& file) {
    std::wstring ext = Lowered(file);
    for (const wchar_t* leftover : kLeftoverExtensions)
        if (ext == leftover) return true;
    return false;
}

}  // namespace

bool Lower(const fs::path& file, const wchar_t* ext) {
    return Lowered(file) == ext;
}

std::uint64_t SizeOf(const fs::path& path) {
    std::error_code ec;
    if (fs::is_regular_file(fs::status(path, ec))) {
        std::uintmax_t size = fs::file_size(path, ec);
        return ec ? 0 : size;
    }
    std::uint64_t total = 0;
    Walk(path, [&](const fs::directory_entry& entry) {
        if (IsFile(entry)) total += Bytes(entry);
    });
    return total;
}

Part Leftovers(const fs::path& repo) {
    Part part{L"Build leftovers (object files, libraries, generated C++)", {}, 0};
    fs::path build = repo / "build";
    if (IsFolder(build)) {
        Walk(build, [&](const fs::directory_entry& entry) {
            if (!IsFile(entry) || !IsLeftover(entry.path())) return;
            part.bytes += Bytes(entry);
            part.paths.push_back(entry.path());
        });
    }
    fs::path generated = repo / "generated" / "ppc";
    if (IsFolder(generated)) {
        part.bytes += SizeOf(generated);
        part.paths.push_back(generated);
    }
    return part;
}

Part Tools(const fs::path& repo) {
    Part part{L"Build tools Setup downloaded (Git, CMake, Ninja, Clang, Python)", {}, 0};
    fs::path tools = repo.parent_path() / "tools";
    // Git and Ninja alone are small; only the big three make the folder worth deleting.
    for (const char* name : {"Clang", "CMake", "Python"}) {
        if (!IsFolder(tools / name)) continue;
        part.bytes = SizeOf(tools);
        part.paths.push_back(tools);
        break;
    }
    return part;
}

}  // namespace mosk::maintenance
