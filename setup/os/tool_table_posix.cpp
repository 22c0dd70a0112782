#include "releases.h"
#include "tools.h"

namespace setup {

// The Linux builds of the same publishers. Git publishes none that runs
// without installing, so a missing git can only be reported.
const std::vector<Tool>& ToolTable() {
    static const std::vector<Tool> table = {
        {L"Git", L"git",
         []() -> std::wstring {
             Fail(
                 T(L"Git isn't installed. Install it with your package manager (on Debian and "
                   L"Ubuntu: sudo apt install git), then run Setup again."));
         }},
        {L"CMake", L"cmake",
         [] { return LatestAsset("Kitware/CMake", R"(cmake-[0-9.]+-linux-x86_64\.tar\.gz)"); }},
        {L"Ninja", L"ninja",
         [] { return LatestAsset("ninja-build/ninja", R"(ninja-linux\.zip)"); }},
        {L"Clang", L"clang++",
         [] {
             return LatestAsset("mstorsjo/llvm-mingw",
                                R"(llvm-mingw-[0-9]+-ucrt-ubuntu-[0-9.]+-x86_64\.tar\.xz)");
         }},
        // GitHub writes the "+" of these names as %2B in its download URLs.
        {L"Python", L"python3",
         [] {
             return LatestAsset("astral-sh/python-build-standalone",
                                R"(cpython-3\.12\.[0-9]+(\+|%2B)[0-9]+-x86_64-unknown-linux-gnu-)"
                                R"(install_only\.tar\.gz)");
         }},
    };
    return table;
}

}  // namespace setup
