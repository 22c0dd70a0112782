// Renames and deletes in the install folder that the run can't go on without.
#pragma once

#include <string>

#include "setup.h"

namespace setup {

// Moves `from` to `to`, which nothing has yet; `what` names it for the user
// ("CMake", "the source code"). A refusal ends the run, saying what refused.
void MoveOrFail(const fs::path& from, const fs::path& to, const std::wstring& what);
// Deletes a path with everything below it, or ends the run saying why not.
void DeleteOrFail(const fs::path& path);

}  // namespace setup
