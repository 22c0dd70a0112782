// The disk-space check at the start of a run: a drive short of the room a
// build needs is named, with its figures, and the user decides.
#pragma once

#include <cstdint>
#include <string>

#include "setup.h"

namespace setup {

// "Drive C: has 0.3 GB free; about 12 GB is needed. Continue anyway?", for
// the drive as os::DriveOf names it (a mount point reads "The drive mounted
// at /home"). Below 10 GB the free space has one decimal.
std::wstring SpaceQuestion(const std::wstring& drive, std::uint64_t free, std::uint64_t needed);

// Asks when the install folder's drive has less than the build needs (less
// again when the game's files are already extracted); a No ends the run.
// setup.log gets the figures and the answer.
void CheckSpace(const fs::path& installDir, bool extracted);

}  // namespace setup
