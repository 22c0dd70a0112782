#include <cwchar>

#include "maintenance.h"

namespace mosk::maintenance {

std::wstring SizeText(std::uint64_t bytes) {
    constexpr std::uint64_t kGiB = 1ull << 30;
    constexpr double kMiB = 1 << 20;
    wchar_t text[32] = {};
    double value = static_cast<double>(bytes);
    if (bytes >= kGiB) {
        std::swprintf(text, 32, L"%.1f GB", value / static_cast<double>(kGiB));
    } else {
        std::swprintf(text, 32, L"%.0f MB", value / kMiB);
    }
    return text;
}

}  // namespace mosk::maintenance
