// One Windows program that stands in for every outside program a run of the
// setup program starts: copied as git.exe, python.exe, cmake.exe, ninja.exe
// or clang++.exe into the stand-in web's archives, it acts as the program of
// its file name; the build it runs as python.exe copies it once more as the
// game's launcher.
//
// The build follows the environment, as the Linux stand-in build script does:
//   CORVANE_BUILD_PACE        seconds per step (default 0.01)
//   CORVANE_BUILD_FAIL        a compile step fails
//   CORVANE_BUILD_NO_LAUNCHER finish without writing the launcher
//   CORVANE_BUILD_BAD_LAUNCHER write a launcher that isn't a program
//   CORVANE_BUILD_PIDS        file the build's processes append their ids to
// and git's clone follows CORVANE_GIT_SCAN (scan.cpp).
#include <cwctype>
#include <fcntl.h>
#include <io.h>

#include "standin.h"

int wmain(int argc, wchar_t** argv) {
    // Bytes as written: "\n" stays LF, as git and "python -u" write it.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::wstring name = standin::Self().stem().native();
    for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
    standin::Args args(argv + 1, argv + argc);
    if (name == L"git") return standin::Git(args);
    if (name == L"python") return standin::Python(args);
    if (name == L"ninja") return standin::Ninja(args);
    if (name == L"corvanelauncher") return standin::Launcher();
    return standin::Version(name, args);
}
