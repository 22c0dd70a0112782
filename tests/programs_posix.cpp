#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "programs.h"
#include "setup.h"

namespace setup::test {

std::filesystem::path Helper(const std::string& name) {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / name;
}

std::string ProgramFile(const std::string& name) {
    return name;
}

bool Alive(unsigned long pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    // "pid (name) state ...": the name may hold anything, the state follows its ')'.
    std::size_t close = text.rfind(')');
    if (close == std::string::npos || close + 2 >= text.size()) return false;
    char state = text[close + 2];
    return state != 'Z' && state != 'X';
}

PathFirst::PathFirst(const std::filesystem::path& folder) {
    const char* old = std::getenv("PATH");
    had_ = old != nullptr;
    old_ = had_ ? Widen(old) : L"";
    std::string path = folder.string() + (had_ ? ":" + std::string(old) : "");
    setenv("PATH", path.c_str(), 1);
}

PathFirst::~PathFirst() {
    if (had_) {
        setenv("PATH", Narrow(old_).c_str(), 1);
    } else {
        unsetenv("PATH");
    }
}

}  // namespace setup::test
