#include <cstdlib>

#include "os.h"
#include "setup.h"

namespace setup::os {

std::wstring GetEnv(const wchar_t* name, bool* present) {
    const char* value = std::getenv(Narrow(name).c_str());
    if (present) *present = value != nullptr;
    return value ? Widen(value) : std::wstring();
}

void SetEnv(const wchar_t* name, const std::wstring& value) {
    setenv(Narrow(name).c_str(), Narrow(value).c_str(), 1);
}

}  // namespace setup::os
