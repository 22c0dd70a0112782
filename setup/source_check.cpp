#include "source_check.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

namespace setup {

namespace {

constexpr std::uintmax_t kLeast = 1 << 20;  // no disc image is smaller
constexpr char kMagic[] = "MICROSOFT*XBOX*MEDIA";
// The game partition starts at one of these on the discs' known layouts; its
// header lies 0x10000 after the start.
constexpr std::uint64_t kPartitions[] = {0, 0x2080000, 0xFD90000, 0x18300000};
constexpr std::uint64_t kHeader = 0x10000;

Failed Unreadable(const fs::path& source, const std::wstring& cause) {
    return {Say(L"{} isn't a disc image Setup can read.", PathText(source)), cause};
}

}  // namespace

Failed MissingSource(const fs::path& source) {
    if (source.empty()) return {kNoSource, {}};
    std::error_code ec;
    fs::file_status status = fs::status(source, ec);
    // A link to nothing is a path to nothing too.
    if (status.type() == fs::file_type::not_found)
        return {Say(L"{} doesn't exist.", PathText(source)), {}};
    return {};
}

Failed SourceProblem(const fs::path& source, bool imageOnly) {
    Failed missing = MissingSource(source);
    if (!missing.message.empty()) return missing;
    std::error_code ec;
    fs::file_status status = fs::status(source, ec);
    if (ec) return Unreadable(source, Widen(ec.message()));
    if (fs::is_directory(status)) {
        if (imageOnly) return Unreadable(source, L"it is a folder");
        if (!fs::is_regular_file(source / "default.xex", ec))
            return {Say(L"{} isn't an extracted disc: default.xex isn't in it.", PathText(source)),
                    {}};
        return {};
    }
    // A pipe or a device would be read for ever, or not at all: never opened.
    if (!fs::is_regular_file(status))
        return Unreadable(source,
                          L"it is neither a file nor a folder (a device, a pipe or a socket)");
    errno = 0;
    std::ifstream in(source, std::ios::binary);
    std::error_code why(errno, std::generic_category());
    if (!in.is_open())
        return Unreadable(source, why ? Widen(why.message()) : L"it can't be opened");
    std::uintmax_t size = fs::file_size(source, ec);
    if (ec) return Unreadable(source, Widen(ec.message()));
    if (size < kLeast)
        return Unreadable(source, L"it holds " + std::to_wstring(size) +
                                      L" bytes, and a disc image holds at least 1 MB");
    return {};
}

bool LooksLikeDisc(const fs::path& image) {
    std::ifstream in(image, std::ios::binary);
    char head[sizeof kMagic - 1];
    for (std::uint64_t start : kPartitions) {
        in.clear();
        in.seekg(static_cast<std::streamoff>(start + kHeader));
        if (in.read(head, sizeof head) && std::memcmp(head, kMagic, sizeof head) == 0) return true;
    }
    return false;
}

}  // namespace setup
