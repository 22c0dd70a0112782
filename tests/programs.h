// The helper programs the tests start as real child processes (built from
// tests/helpers next to the test executable), and what the tests need to
// watch them.
#pragma once

#include <filesystem>
#include <string>

namespace setup::test {

// The helper program of that name next to the test executable.
std::filesystem::path Helper(const std::string& name);
// The file name a program of that name has on this platform.
std::string ProgramFile(const std::string& name);
// Whether a process of that id is still running (a zombie is not).
bool Alive(unsigned long pid);

// Puts a folder first on the process's PATH for its lifetime.
class PathFirst {
  public:
    explicit PathFirst(const std::filesystem::path& folder);
    ~PathFirst();
    PathFirst(const PathFirst&) = delete;
    PathFirst& operator=(const PathFirst&) = delete;

  private:
    std::wstring old_;
    bool had_;
};

}  // namespace setup::test
