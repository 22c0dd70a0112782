#include <windows.h>

#include "os.h"

namespace setup::os {

std::wstring GetEnv(const wchar_t* name, bool* present) {
    // Room for the longest value a variable may have; longer PATHs aren't handled.
    std::wstring value(32768, L'\0');
    SetLastError(ERROR_SUCCESS);
    DWORD length = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (present) *present = length != 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND;
    value.resize(length < value.size() ? length : 0);
    return value;
}

void SetEnv(const wchar_t* name, const std::wstring& value) {
    SetEnvironmentVariableW(name, value.c_str());
}

void UnsetEnv(const wchar_t* name) {
    SetEnvironmentVariableW(name, nullptr);
}

// Windows keeps no user database a "~" could be read from.
std::wstring HomeOf(const std::wstring&) {
    return {};
}

}  // namespace setup::os
