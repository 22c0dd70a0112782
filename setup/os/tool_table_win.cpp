#include "releases.h"
#include "tools.h"

namespace setup {

const std::vector<Tool>& ToolTable() {
    static const std::vector<Tool> table = {
        {L"Git", L"git.exe",
         [] { return LatestAsset("git-for-windows/git", R"(MinGit-[0-9.]+-64-bit\.zip)"); }},
        {L"CMake", L"cmake.exe",
         [] { return LatestAsset("Kitware/CMake", R"(cmake-[0-9.]+-windows-x86_64\.zip)"); }},
        {L"Ninja", L"ninja.exe",
         [] { return LatestAsset("ninja-build/ninja", R"(ninja-win\.zip)"); }},
        {L"Clang", L"clang++.exe",
         [] {
             return LatestAsset("mstorsjo/llvm-mingw", R"(llvm-mingw-[0-9]+-ucrt-x86_64\.zip)");
         }},
        {L"Python", L"python.exe", [] { return NugetPython(); }},
    };
    return table;
}

}  // namespace setup
