// What the run's source must be, found out before anything is downloaded.
#pragma once

#include "setup.h"

namespace setup {

inline constexpr const wchar_t* kNoSource =
    T(L"Choose your Corvane disc image (.iso) or extracted disc folder first.");

// Why the source can't be used, as the failure it ends a run with; an empty
// message when it can. A folder is an extracted disc, anything else an
// image; with `imageOnly` a folder is refused as an image.
Failed SourceProblem(const fs::path& source, bool imageOnly = false);

// The check of a source that isn't there, which needs no run: an empty
// choice or a path to nothing. An empty message when the source is there.
Failed MissingSource(const fs::path& source);

// Whether the image holds an Xbox 360 disc's header at the place one of the
// game partition's starts puts it.
bool LooksLikeDisc(const fs::path& image);

}  // namespace setup
