// What a run does after a successful build and launcher check.
#pragma once

#include "run.h"

namespace setup {

// In order: the desktop shortcut when chosen, the summary (the final message),
// freeing space when chosen, and the disc image deletion when chosen and the
// game's files came from it in this run. Nothing here fails the run or looks
// at the cancel flag.
void Finish(RunState& run);

// The "Freeing up space" stage: deletes the build leftovers and the downloaded
// tools and appends what it freed to the final message.
void FreeSpace(RunState& run);

}  // namespace setup
