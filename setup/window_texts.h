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
// Closing while the run's last steps, which can't be stopped, are going.
inline constexpr wchar_t kCloseAfterQuestion[] =
    L"Setup is finishing its last steps, which can't be stopped. Close the window once they're "
    L"done?";
inline constexpr wchar_t kNoThread[] =
    L"Setup couldn't start its work: the system refused a new thread. Close some programs and "
    L"try again.";

// The options of the window's command line, shown for /?, -h and --help.
inline constexpr wchar_t kWindowUsage[] =
    L"corvane-setup.exe [options]\n\n"
    L"--source PATH: the disc image (.iso) or the extracted disc folder\n"
    L"--install-dir DIR: the folder to install to\n"
    L"--shortcut: add a desktop shortcut to the launcher\n"
    L"--free-space: delete the build tools and leftovers afterwards\n"
    L"--delete-image: delete the disc image once it's extracted\n"
    L"--yes: answer Setup's questions yes (little disk space, a source that doesn't look like a "
    L"disc image); setup.log notes each\n"
    L"--quiet: show no message box and close when the run ends (setup.log has the outcome)\n"
    L"--update DIR: update the install in DIR, then start the game\n\n"
    L"With --source or --install-dir the run starts at once. Exit code: 0 when the run "
    L"succeeded, 1 when it failed or was cancelled, 2 for a command line that can't be used.";

// The help box: the options and the version.
std::wstring WindowHelp();

// Where a run is, as its status lines tell, for the question Esc asks.
// kGetting: the tools and the source code side by side, the second step a
// first install shows.
enum class Stage { kStart, kTools, kGetting, kClone, kUpdate, kBuild, kFinish };
// The stage after a status line: a run's own statuses move it on (never
// back); any other text, the build script's stages for one, leaves it.
Stage StageOf(const std::wstring& status, Stage current);
// "Step 3 of 4: " before a status of that stage of the run, so that its
// own words (the build script's, a download's) never hide where it is.
std::wstring StagePrefix(Stage stage);
// Esc's question while the run is at that stage: what stopping keeps. Empty
// where the run can no longer be stopped (its last steps after the build).
std::wstring StopQuestion(Stage stage);

// The note under the install folder for the free bytes of its drive.
std::wstring SpaceNote(std::uint64_t freeBytes);

// Asked before a run that will delete the disc image.
std::wstring DeleteQuestion(const std::wstring& image);

// A message's first sentence: up to its first full stop, question or
// exclamation mark followed by a space and not inside a path, or all of it.
std::wstring FirstSentence(const std::wstring& message);

// A text for a one-line label: each run of line breaks and other control
// characters becomes one space, which a label would draw as a box.
std::wstring OneLine(const std::wstring& text);

// Some build tools can't handle paths beyond ASCII.
bool NonEnglish(const std::wstring& path);

}  // namespace setup
