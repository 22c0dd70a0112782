#include "standin.h"

namespace setup::test::standin {

const char kNinjaAsset[] = "ninja-win.zip";

// Every tool in the stand-in's archives is the emit helper, which writes
// "[args]" for the argument args.
std::vector<Fetched> Fetches() {
    const std::wstring at = L"/download/";
    const std::string cmake = "cmake-3.31.0-windows-x86_64",
                      llvm = "llvm-mingw-20241119-ucrt-x86_64";
    return {
        {L"Git", at + L"git-for-windows/git/MinGit-2.47.1-64-bit.zip", "cmd/git.exe", L"git args",
         "[args]"},
        {L"CMake", at + L"Kitware/CMake/" + Widen(cmake) + L".zip", cmake + "/bin/cmake.exe",
         L"cmake args", "[args]"},
        {L"Ninja", at + L"ninja-build/ninja/ninja-win.zip", "ninja.exe", L"ninja args", "[args]"},
        {L"Clang", at + L"mstorsjo/llvm-mingw/" + Widen(llvm) + L".zip", llvm + "/bin/clang++.exe",
         L"clang++ args", "[args]"},
        {L"Python", L"/v3-flatcontainer/python/3.12.10/python.3.12.10.nupkg", "tools/python.exe",
         L"python args", "[args]"},
    };
}

Start StartPath(const fs::path&) {
    return {L"", L""};
}

}  // namespace setup::test::standin
