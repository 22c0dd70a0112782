#include "space.h"

#include <cwchar>
#include <cwctype>

#include "install_dir.h"
#include "os.h"

namespace setup {

namespace {

constexpr std::uint64_t kGiB = 1ull << 30;

// A drive letter is "Drive C:"; anything else is a place in the file system.
bool Letter(const std::wstring& drive) {
    return drive.size() == 2 && drive[1] == L':';
}

// Whole gigabytes from 10 on; below, tenths, so that 300 MB isn't "0 GB".
// Never rounded up to the figure needed, which would read as enough.
std::wstring FreeText(std::uint64_t free, std::uint64_t needed) {
    if (free >= 10 * kGiB) return std::to_wstring(free / kGiB);
    std::uint64_t tenths = (free * 10 + kGiB / 2) / kGiB;
    if (tenths >= needed * 10 / kGiB) tenths = needed * 10 / kGiB - 1;
    wchar_t text[32];
    std::swprintf(text, 32, L"%llu.%llu", static_cast<unsigned long long>(tenths / 10),
                  static_cast<unsigned long long>(tenths % 10));
    return text;
}

}  // namespace

std::wstring SpaceQuestion(const std::wstring& drive, std::uint64_t free, std::uint64_t needed) {
    return Say(Letter(drive)
                   ? T(L"Drive {} has {} GB free; about {} GB is needed. Continue anyway?")
                   : T(L"The drive mounted at {} has {} GB free; about {} GB is needed. "
                       L"Continue anyway?"),
               drive, FreeText(free, needed), std::to_wstring(needed / kGiB));
}

void CheckSpace(const fs::path& installDir, bool extracted) {
    // A query that failed says nothing; a full drive answers 0 and is asked about.
    // Asked before a new install folder is made: its drive is that of the folder above it.
    fs::path existing = NearestExisting(installDir);
    std::optional<std::uint64_t> free = s_freeBytes(existing);
    std::uint64_t needed = (extracted ? 6 : 12) * kGiB;
    if (!free || *free >= needed) return;
    std::wstring drive = os::DriveOf(existing);
    Log(L"Free space on " + drive + L": " + std::to_wstring(*free) + L" bytes; needed: " +
        std::to_wstring(needed) + L" bytes");
    bool yes = s_ask(SpaceQuestion(drive, *free, needed));
    Log(std::wstring(L"Asked whether to continue with less space: ") + (yes ? L"Yes"
                                                                        : s_cancel.load()
                                                                            ? L"No (cancelled)"
                                                                            : L"No"));
    if (yes) return;
    CheckCancel();  // a cancel answers the question too
    // No is the user's choice, not a failure: what to do instead.
    std::uint64_t short_ = (needed - *free + kGiB - 1) / kGiB;
    throw Failed{
        Say(Letter(drive) ? T(L"Choose a folder on another drive, or free {} GB on drive {}.")
                          : T(L"Choose a folder on another drive, or free {} GB on the "
                              L"drive mounted at {}."),
            std::to_wstring(short_), drive),
        {},
        kDeclinedSpace};
}

}  // namespace setup
