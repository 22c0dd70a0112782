// Text conversions through the system's code-page calls.
#include <windows.h>

#include "setup.h"

namespace setup {

std::wstring Widen(const std::string& bytes) {
    if (bytes.empty()) return {};
    int size = static_cast<int>(bytes.size());
    UINT page = CP_UTF8;
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (length <= 0) {
        // Not UTF-8: bytes written in the ANSI code page still become the right text.
        page = CP_ACP;
        length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
        if (length <= 0) return {};
    }
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(page, 0, bytes.data(), size, text.data(), length);
    return text;
}

std::string Narrow(const std::wstring& text) {
    if (text.empty()) return {};
    int size = static_cast<int>(text.size());
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, bytes.data(), length, nullptr, nullptr);
    return bytes;
}

std::wstring PathText(const fs::path& path) {
    return path.native();
}

fs::path ToPath(const std::wstring& text) {
    return fs::path(text);
}

}  // namespace setup
