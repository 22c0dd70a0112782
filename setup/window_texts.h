// What the setup window says, apart from its control labels.
#pragma once

#include <cstdint>
#include <string>

namespace setup {

// The window's title and the caption of every message box.
inline constexpr wchar_t kTitle[] = L"Corvane Recompiled Setup";

inline constexpr wchar_t kImageNote[] = L"A dump of your own Xbox 360 disc of Corvane.";
inline constexpr wchar_t kFolderNote[] =
    L"The folder with default.xex, levels, sounds, textures... (from extract-xiso, Xenia, "
    L"etc.). It's copied.";
inline constexpr wchar_t kInstalledNote[] =
    L"Not needed: the game's files are already in this install.";
inline constexpr wchar_t kInstalledStatus[] =
    L"Already installed here: Update gets the latest version and rebuilds.";

inline constexpr wchar_t kNoInstallDir[] = L"Choose a folder to install to.";
inline constexpr wchar_t kNonEnglishQuestion[] =
    L"The folder's path has non-English characters, which some build tools can't handle. A "
    L"folder like C:\\Corvane-Recomp is safer. Continue anyway?";
inline constexpr wchar_t kNotAFolder[] =
    L"That isn't a folder. Choose the folder of your extracted disc.";
inline constexpr wchar_t kStillRunning[] = L"Setup is still running. Stop it?";
inline constexpr wchar_t kNoThread[] =
    L"Setup couldn't start its work: the system refused a new thread. Close some programs and "
    L"try again.";

// The note under the install folder for the free bytes of its drive.
std::wstring SpaceNote(std::uint64_t freeBytes);

// Asked before a run that will delete the disc image.
std::wstring DeleteQuestion(const std::wstring& image);

// Some build tools can't handle paths beyond ASCII.
bool NonEnglish(const std::wstring& path);

}  // namespace setup
