#include <cstdlib>

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

}  // namespace setup::os
