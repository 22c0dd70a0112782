#include "os.h"

namespace setup::os {

std::vector<std::wstring> UiLanguages() {
    // The order the C library reads them in for messages.
    for (const wchar_t* name : {L"LC_ALL", L"LC_MESSAGES", L"LANG"}) {
        std::wstring value = GetEnv(name);
        if (!value.empty()) return {value};
    }
    return {};
}

}  // namespace setup::os
