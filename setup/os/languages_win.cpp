#include <windows.h>

#include "os.h"

namespace setup::os {

std::vector<std::wstring> UiLanguages() {
    std::vector<std::wstring> names;
    ULONG count = 0, size = 0;
    if (GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, nullptr, &size) && size > 0) {
        std::wstring list(size, L'\0');
        if (GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, list.data(), &size)) {
            // Names each ended by a zero, the list by one more.
            for (const wchar_t* at = list.c_str(); *at; at += wcslen(at) + 1)
                names.emplace_back(at);
        }
    }
    if (!names.empty()) return names;
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = L"";
    if (LCIDToLocaleName(MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT), name,
                         LOCALE_NAME_MAX_LENGTH, 0) > 0)
        names.emplace_back(name);
    return names;
}

}  // namespace setup::os
