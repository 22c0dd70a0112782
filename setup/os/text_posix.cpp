// Text conversions where wchar_t holds whole code points (UTF-32).
#include "setup.h"

namespace setup {

namespace {

// Decodes strict UTF-8 (no overlongs, no surrogates); false if the bytes aren't.
bool DecodeUtf8(const std::string& bytes, std::wstring& out) {
    out.clear();
    out.reserve(bytes.size());
    std::size_t i = 0, n = bytes.size();
    while (i < n) {
        unsigned char c = bytes[i];
        char32_t cp;
        int extra;
        if (c < 0x80) {
            cp = c, extra = 0;
        } else if (c >= 0xC2 && c <= 0xDF) {
            cp = c & 0x1F, extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            cp = c & 0x0F, extra = 2;
        } else if (c >= 0xF0 && c <= 0xF4) {
            cp = c & 0x07, extra = 3;
        } else {
            return false;
        }
        if (i + extra >= n) return false;  // truncated sequence
        for (int k = 1; k <= extra; ++k) {
            unsigned char d = bytes[i + k];
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        out.push_back(static_cast<wchar_t>(cp));
        i += extra + 1;
    }
    return true;
}

}  // namespace

std::wstring Widen(const std::string& bytes) {
    std::wstring text;
    if (bytes.empty() || DecodeUtf8(bytes, text)) return text;
    // Not UTF-8: read the bytes as Latin-1, this platform's stand-in for a
    // single-byte system code page, so that every byte still becomes a letter.
    text.assign(bytes.size(), L'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
    return text;
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t w : text) {
        char32_t cp = static_cast<char32_t>(w);
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::wstring PathText(const fs::path& path) {
    return Widen(path.string());
}

fs::path ToPath(const std::wstring& text) {
    return fs::path(Narrow(text));
}

}  // namespace setup
