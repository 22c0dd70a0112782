#include "window_texts.h"

#include "maintenance.h"
#include "setup.h"
#include "version.h"

namespace setup {

std::wstring WindowHelp() {
    return std::wstring(kWindowUsage) + L"\n\nVersion " + Widen(kSetupVersion);
}

std::wstring SpaceNote(std::uint64_t freeBytes) {
    return mosk::maintenance::SizeText(freeBytes) +
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

std::wstring FirstSentence(const std::wstring& message) {
    for (std::size_t at = 0; at + 1 < message.size(); ++at) {
        bool end = message[at] == L'.' || message[at] == L'?' || message[at] == L'!';
        if (end && (message[at + 1] == L' ' || message[at + 1] == L'\n'))
            return message.substr(0, at + 1);
    }
    return message;
}

}  // namespace setup
