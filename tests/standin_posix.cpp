#include "standin.h"

namespace setup::test::standin {

const char kNinjaAsset[] = "ninja-linux.zip";

std::vector<Fetched> Fetches() {
    const std::wstring at = L"/download/";
    const std::string llvm = "llvm-mingw-20241119-ucrt-ubuntu-20.04-x86_64";
    return {
        {L"CMake", at + L"Kitware/CMake/cmake-3.31.0-linux-x86_64.tar.gz",
         "cmake-3.31.0-linux-x86_64/bin/cmake", L"cmake --version", "cmake 3.31.0 (stand-in)"},
        {L"Ninja", at + L"ninja-build/ninja/ninja-linux.zip", "ninja", L"ninja --version",
         "ninja 1.12.1 (stand-in)"},
        {L"Clang", at + L"mstorsjo/llvm-mingw/" + Widen(llvm) + L".tar.xz", llvm + "/bin/clang++",
         L"clang++ --version", "clang 19 (stand-in)"},
        // GitHub writes the "+" of these names as %2B in its download URLs.
        {L"Python",
         at + L"astral-sh/python-build-standalone/"
              L"cpython-3.12.7%2B20241016-x86_64-unknown-linux-gnu-install_only.tar.gz",
         "python/bin/python3", L"python3 -c \"print(6*7)\"", "42"},
    };
}

Start StartPath(const fs::path& dir) {
    fs::create_directories(dir / "bin");
    fs::create_symlink("/usr/bin/git", dir / "bin/git");
    return {PathText(dir / "bin"), L"Git: using " + PathText(dir / "bin/git")};
}

}  // namespace setup::test::standin
