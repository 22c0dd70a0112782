#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "env_posix.h"
#include "os.h"
#include "setup.h"

namespace setup::os {

std::mutex& EnvLock() {
    static std::mutex lock;
    return lock;
}

std::wstring GetEnv(const wchar_t* name, bool* present) {
    std::lock_guard<std::mutex> hold(EnvLock());
    const char* value = std::getenv(Narrow(name).c_str());
    if (present) *present = value != nullptr;
    // Bytes, as a file name is (PATH and HOME hold file names): kept as
    // they are, so that SetEnv gives back what was there.
    return value ? PathText(value) : std::wstring();
}

void SetEnv(const wchar_t* name, const std::wstring& value) {
    std::lock_guard<std::mutex> hold(EnvLock());
    setenv(Narrow(name).c_str(), Narrow(value).c_str(), 1);
}

void UnsetEnv(const wchar_t* name) {
    std::lock_guard<std::mutex> hold(EnvLock());
    unsetenv(Narrow(name).c_str());
}

std::wstring HomeOf(const std::wstring& user) {
    passwd entry{}, *found = nullptr;
    std::vector<char> room(1 << 16);
    if (user.empty())
        getpwuid_r(getuid(), &entry, room.data(), room.size(), &found);
    else
        getpwnam_r(ToPath(user).c_str(), &entry, room.data(), room.size(), &found);
    return found && found->pw_dir && found->pw_dir[0] ? PathText(found->pw_dir) : std::wstring();
}

}  // namespace setup::os
