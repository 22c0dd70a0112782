// The few plain facts in which the platforms differ for the install run.
#pragma once

#include <filesystem>
#include <string>

#include "language.h"

namespace setup {

extern const wchar_t kPathSeparator;       // between PATH entries
extern const wchar_t* const kUnpackNeeds;  // what a missing unpacker points the user to
extern const wchar_t kBuildCommand[];      // runs the project's build script from its folder
extern const wchar_t kUnpackOptions[];  // the archive tool's options before -xf, each after a space
extern const wchar_t* const
    kMemoryAdvice;  // closes the out-of-memory message: the system's own remedy
// The longest folder path the archive tool can change into; 0: no limit.
extern const std::size_t kUnpackFolderLimit;

// Whether a file's first bytes are those of an archive the system's archive
// tool unpacks (zip; on Linux gzip and xz too).
bool IsArchive(const std::string& head);

// The system's archive tool.
std::filesystem::path SystemTar();

}  // namespace setup
