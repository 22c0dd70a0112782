#include <cstdlib>

#include "os.h"
#include "setup.h"

namespace setup::os {

std::wstring GetEnv(const wchar_t* name, bool* present) {
    const char* value = std::getenv(Narrow(name).c_str());
    if (present) *present = value != nullptr;
    // Bytes, as a file name is (PATH and HOME hold file names): kept as
    // they are, so that SetEnv gives back what was there.
    return value ? PathText(value) : std::wstring();
}

void SetEnv(const wchar_t* name, const std::wstring& value) {
    setenv(Narrow(name).c_str(), Narrow(value).c_str(), 1);
}

}  // namespace setup::os
