// The walk under the measuring functions, one per platform: it asks the file
// system relative to the folder it has open (Linux) or takes the sizes from
// the folder's listing itself (Windows), instead of asking for every file by
// its full path.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

namespace mosk::maintenance {

namespace fs = std::filesystem;

using Name = fs::path::string_type;

// Walks everything below `folder`, not following links to folders and
// skipping folders it may not read; any other error ends the walk where it
// is. For every regular file (a link to one counts, with its target's size)
// whose name `want` accepts, calls take with the file's folder, its name and
// its size (0 when the size can't be read). Never throws on a file-system
// error.
void Files(
    const fs::path& folder, const std::function<bool(const Name& name)>& want,
    const std::function<void(const fs::path& at, const Name& name, std::uint64_t size)>& take);

}  // namespace mosk::maintenance
