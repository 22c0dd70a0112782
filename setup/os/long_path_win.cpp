#include <algorithm>

#include "win.h"

namespace setup::os {

namespace {

// Without the dots and doubled or trailing separators, which the system takes
// as they stand in this form; a name added after it gets one separator.
std::wstring Tidy(const std::wstring& text) {
    std::wstring tidy = std::filesystem::path(text).lexically_normal().native();
    while (tidy.size() > 3 && tidy.back() == L'\\') tidy.pop_back();
    return tidy;
}

}  // namespace

std::wstring Long(const std::filesystem::path& path) {
    std::wstring text = path.native();
    std::replace(text.begin(), text.end(), L'/', L'\\');
    // Already in the system's own form (\\?\, or a device's \\.\): as it is.
    if (text.rfind(L"\\\\?\\", 0) == 0 || text.rfind(L"\\\\.\\", 0) == 0) return text;
    // A share: the library's tidying would take "\\server" for a folder "\server".
    if (text.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + Tidy(text.substr(2));
    if (text.size() >= 3 && text[1] == L':' && text[2] == L'\\') return L"\\\\?\\" + Tidy(text);
    return text;  // relative: the system reads it against the current folder
}

std::wstring Shown(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
    if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
    return path;
}

}  // namespace setup::os
