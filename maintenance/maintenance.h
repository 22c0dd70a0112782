// The parts of an install that may be deleted after a build (the build's
// leftovers and the tools Setup downloaded), found and measured without
// deleting anything. Every file-system call here reports errors through an
// error code; nothing throws on a file-system error.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace mosk::maintenance {

namespace fs = std::filesystem;

// One group of reclaimable files.
struct Part {
    std::wstring label;           // the group's name for the user
    std::vector<fs::path> paths;  // files, or folders deleted with everything below them
    std::uint64_t bytes = 0;      // size of everything in paths when measured
};

// The build leftovers of a repository folder (install/corvane-recomp):
// object files, libraries, precompiled headers and the generated sources.
Part Leftovers(const fs::path& repo);
// The downloaded tools of the install that holds the repository folder.
Part Tools(const fs::path& repo);

// The size of a file, or of every regular file below a folder; 0 for nothing.
std::uint64_t SizeOf(const fs::path& path);
// Whether the file's extension, lower-cased, is exactly `ext` (lower case,
// with its dot).
bool Lower(const fs::path& file, const wchar_t* ext);

// The one way a byte count is shown to the user: "1.5 GB", "700 MB".
std::wstring SizeText(std::uint64_t bytes);

}  // namespace mosk::maintenance
