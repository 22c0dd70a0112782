// Getting the build tools and the source code. Where several tools must be
// downloaded, the work runs side by side: the release lookups at once, the
// downloads a few at a time with the largest first, each archive unpacked
// as it lands, and the clone or update as soon as git is there.
#pragma once

#include <string>

#include "setup.h"

namespace setup {

// Settles every tool and then clones or updates the source folder; returns
// what SourceCode returns. Ends with the first real failure of any job.
std::wstring Acquire(const fs::path& installDir, const fs::path& sourceDir);

// How many downloads run at once: 2, or CORVANE_SETUP_DOWNLOADS (1 to 3;
// 0 for the tools and then the source, one after the other).
int DownloadWidth();

}  // namespace setup
