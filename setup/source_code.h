// The source code stage: clone the project's repository into the source
// folder, or update the clone that is there without ever overwriting the
// user's own edits.
#pragma once

#include <string>

#include "setup.h"

namespace setup {

// The clone URL (on the GitHub base, which a mirror option may replace).
std::string RepoUrl();
// The release tag to check out a detached clone at: the project's latest
// release, or the setup program's own version when that can't be had.
std::wstring ReleaseTag();
// A tag that may stand unquoted on a git command line.
bool SafeTag(const std::string& tag);

// Clones or updates the source folder. For an update, returns what it did
// ("The source code was updated from v1.2 to 3f4e5d6.", "... already up to
// date."), which setup.log has too; empty for a new clone. Beside other
// jobs, its steps are log lines and the progress bar is theirs.
std::wstring SourceCode(const fs::path& installDir, const fs::path& sourceDir, bool beside = false);

}  // namespace setup
