#include "standin.h"

namespace setup::test::standin {

const char kNinjaAsset[] = "ninja-win.zip";

// Every tool in the stand-in's archives is the stand-in program
// (tests/standin/windows), which answers --version as the tool it is named for.
std::vector<Fetched> Fetches() {
    const std::wstring at = L"/download/";
    const std::string cmake = "cmake-3.31.0-windows-x86_64",
                      llvm = "llvm-mingw-20241119-ucrt-x86_64";
    return {
        {L"Git", at + L"git-for-windows/git/MinGit-2.47.1-64-bit.zip", "cmd/git.exe",
         L"git --version", "git version 2.47.1.windows.1"},
        {L"CMake", at + L"Kitware/CMake/" + Widen(cmake) + L".zip", cmake + "/bin/cmake.exe",
         L"cmake --version", "cmake version 3.31.0"},
        {L"Ninja", at + L"ninja-build/ninja/ninja-win.zip", "ninja.exe", L"ninja --version",
         "1.12.1"},
        {L"Clang", at + L"mstorsjo/llvm-mingw/" + Widen(llvm) + L".zip", llvm + "/bin/clang++.exe",
         L"clang++ --version", "clang version 19.1.4"},
        {L"Python", L"/v3-flatcontainer/python/3.12.10/python.3.12.10.nupkg", "tools/python.exe",
         L"python --version", "Python 3.12.10"},
    };
}

Start StartPath(const fs::path&) {
    return {L"", L""};
}

}  // namespace setup::test::standin
