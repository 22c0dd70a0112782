#include <cwctype>
#include <type_traits>

#include "maintenance.h"
#include "setup.h"
#include "walk.h"

namespace mosk::maintenance {

namespace {

const wchar_t* const kLeftoverExtensions[] = {L".obj", L".o",   L".a",  L".lib",
                                              L".pch", L".map", L".gch"};
// In the file name's own units: a longer extension can't lower to one of them.
constexpr std::size_t kLongestExtension = 4 * 4;

bool IsFolder(const fs::path& path) {
    std::error_code ec;
    return fs::is_directory(fs::status(path, ec));
}

// The extension from the last dot of a file name (none when that dot starts
// the name), every unit through towlower.
std::wstring Lowered(const Name& name) {
    std::size_t dot = name.rfind('.');
    if (dot == Name::npos || dot == 0 || name.find_first_not_of('.') == Name::npos) return {};
    std::wstring text = setup::PathText(fs::path(name.substr(dot)));
    for (wchar_t& unit : text) unit = static_cast<wchar_t>(std::towlower(unit));
    return text;
}

bool IsLeftoverExtension(const std::wstring& ext) {
    for (const wchar_t* leftover : kLeftoverExtensions)
        if (ext == leftover) return true;
    return false;
}

// Lower against each extension in turn. The walk meets every file of the
// build folder, so a name whose extension can't be one of them (none, or
// longer than the longest) is turned away before any conversion.
bool IsLeftover(const Name& name) {
    std::size_t dot = name.rfind('.');
    if (dot == Name::npos || dot == 0 || name.size() - dot > kLongestExtension) return false;
    // The usual plain-ASCII extension is lowered in place; anything else
    // goes through the whole conversion.
    wchar_t ext[kLongestExtension + 1] = {};
    for (std::size_t i = dot; i < name.size(); ++i) {
        auto unit = static_cast<std::make_unsigned_t<Name::value_type>>(name[i]);
        if (unit >= 0x80) return IsLeftoverExtension(Lowered(name));
        ext[i - dot] = static_cast<wchar_t>(std::towlower(unit));
    }
    return IsLeftoverExtension(ext);
}

bool Any(const Name&) {
    return true;
}

}  // namespace

bool Lower(const fs::path& file, const wchar_t* ext) {
    return Lowered(file.filename().native()) == ext;
}

std::uint64_t SizeOf(const fs::path& path) {
    std::error_code ec;
    if (fs::is_regular_file(fs::status(path, ec))) {
        std::uintmax_t size = fs::file_size(path, ec);
        return ec ? 0 : size;
    }
    std::uint64_t total = 0;
    Files(path, Any, [&](const fs::path&, const Name&, std::uint64_t size) { total += size; });
    return total;
}

Part Leftovers(const fs::path& repo) {
    Part part{L"Build leftovers (object files, libraries, generated C++)", {}, 0};
    fs::path build = repo / "build";
    if (IsFolder(build)) {
        Files(build, IsLeftover, [&](const fs::path& at, const Name& name, std::uint64_t size) {
            part.bytes += size;
            Name path = at.native();
            path += fs::path::preferred_separator;
            path += name;
            part.paths.emplace_back(std::move(path));
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
