// Where the window proposes to install, and the folder rules around it.
#pragma once

#include <string>

#include "setup.h"

namespace setup {

// The install folder offered at start-up: the --update folder as given; else
// the program's own folder when it is an install (a copy of the setup program
// placed there offers that install); else the system drive's Corvane-Recomp.
std::wstring DefaultInstallDir(const std::wstring& update, const fs::path& programDir,
                               const std::wstring& systemDrive);

// A picked folder becomes the install folder: "Corvane-Recomp" is added unless
// the pick already is one, in any case.
fs::path InstallDirFor(const fs::path& picked);

// The install folder usually doesn't exist yet: the nearest folder above it
// that does, or the topmost one tried when none does.
fs::path NearestExisting(fs::path path);

// A Windows install folder as typed, in the form the run uses: without the
// trailing spaces and dots Windows drops from every name, and without a
// \\?\ prefix (the run makes its own long forms). Empty with `mistake` set
// for a form no folder can be made in: a device path, a name of dots and
// spaces alone, a drive or network share that isn't there.
std::wstring UsableInstallDir(const std::wstring& typed, std::wstring& mistake);

// Refused: another run works in that folder.
std::wstring AlreadyWorking(const fs::path& installDir);

// The game's files are already extracted into this install.
bool Installed(const fs::path& installDir);

}  // namespace setup
