#include "window_texts.h"

#include <cwchar>

namespace setup {

namespace {

// How a byte count is shown to the user; to be shared with the reclaim
// module's summary once it has its own.
std::wstring SizeText(std::uint64_t bytes) {
    wchar_t text[32];
    double b = static_cast<double>(bytes);
    if (bytes >= (1ull << 30))
        std::swprintf(text, 32, L"%.1f GB", b / (1ull << 30));
    else
        std::swprintf(text, 32, L"%.0f MB", b / (1ull << 20));
    return text;
}

}  // namespace

std::wstring SpaceNote(std::uint64_t freeBytes) {
    return SizeText(freeBytes) +
           L" free on that drive; about 12 GB is needed (6 GB once the disc is extracted).";
}

std::wstring DeleteQuestion(const std::wstring& image) {
    return L"Delete the disc image when it's been extracted?\n\n" + image +
           L"\n\nThe game only needs the extracted files; you'd need the disc image again only to "
           L"install somewhere else.";
}

bool NonEnglish(const std::wstring& path) {
    for (wchar_t c : path)
        if (static_cast<std::uint32_t>(c) >= 0x80) return true;
    return false;
}

}  // namespace setup
