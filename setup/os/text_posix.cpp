// Text conversions where wchar_t holds whole code points (UTF-32).
#include "setup.h"

namespace setup {

namespace {

// The length of the strict UTF-8 sequence at i (no overlongs, no surrogates)
// and its code point; 0 when the bytes there aren't one.
std::size_t Sequence(const std::string& bytes, std::size_t i, char32_t& cp) {
    std::size_t n = bytes.size();
    unsigned char c = bytes[i];
    std::size_t extra;
    if (c < 0x80) {
        cp = c, extra = 0;
    } else if (c >= 0xC2 && c <= 0xDF) {
        cp = c & 0x1F, extra = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
        cp = c & 0x0F, extra = 2;
    } else if (c >= 0xF0 && c <= 0xF4) {
        cp = c & 0x07, extra = 3;
    } else {
        return 0;
    }
    if (i + extra >= n) return 0;  // truncated sequence
    for (std::size_t k = 1; k <= extra; ++k) {
        unsigned char d = bytes[i + k];
        if ((d & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (d & 0x3F);
    }
    if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return extra + 1;
}

// Decodes strict UTF-8; false if the bytes aren't.
bool DecodeUtf8(const std::string& bytes, std::wstring& out) {
    out.clear();
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t cp = 0;
        std::size_t length = Sequence(bytes, i, cp);
        if (length == 0) return false;
        out.push_back(static_cast<wchar_t>(cp));
        i += length;
    }
    return true;
}

// A file name is bytes: one that isn't UTF-8 keeps each stray byte as a
// code point that no UTF-8 text decodes to (U+DC80-U+DCFF), and Narrow
// gives the byte back, so that the name reaches the file system as it came.
constexpr char32_t kStrayByte = 0xDC00;

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
        if (cp >= kStrayByte + 0x80 && cp <= kStrayByte + 0xFF) {
            out.push_back(static_cast<char>(cp - kStrayByte));
            continue;
        }
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
    const std::string& bytes = path.native();
    std::wstring text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t cp = 0;
        std::size_t length = Sequence(bytes, i, cp);
        if (length == 0) cp = kStrayByte + static_cast<unsigned char>(bytes[i]), length = 1;
        text.push_back(static_cast<wchar_t>(cp));
        i += length;
    }
    return text;
}

fs::path ToPath(const std::wstring& text) {
    return fs::path(Narrow(text));
}

}  // namespace setup
