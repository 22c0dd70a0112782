// What every stand-in of the program needs: output as the real tools write it,
// the environment, the PATH, itself.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace standin {

namespace fs = std::filesystem;
using Args = std::vector<std::wstring>;

std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);

// One line to standard output or standard error, flushed at once as "-u" asks.
void Say(const std::string& line);
void Say(const std::wstring& line);
void Complain(const std::string& line);
void Complain(const std::wstring& line);

std::optional<std::wstring> Env(const wchar_t* name);

// Copies a file over any file of that name. The MinGW library's copy_file
// refuses to overwrite (and its recursive copy a folder that is already
// there), so these replace them.
void CopyOver(const fs::path& from, const fs::path& to);
// Copies a folder's files into another, which may exist.
void CopyTree(const fs::path& from, const fs::path& to);
// The files below a folder, as paths relative to it, in order. The system's
// own listing: the C runtime's walk stops at paths of 260 characters.
std::vector<fs::path> FilesBelow(const fs::path& folder);

// This program's own file.
fs::path Self();

// The first NAME.exe in a folder of the PATH, or an empty path.
fs::path Which(const std::wstring& name);

// Seconds per step of a build, from CORVANE_BUILD_PACE (default 0.01).
void Pause();

// Appends this process's id to the file CORVANE_BUILD_PIDS names, if any, so
// that a test can see whether it outlived a cancel.
void RecordPid();

// Starts a program with this process's standard handles and waits for its
// exit code; -1 when it can't be started.
int Start(const fs::path& program, const std::wstring& args);

}  // namespace standin
