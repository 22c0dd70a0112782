#include "scan.h"

namespace setup {

namespace {

// Calls take(group 1) for each match until it returns false.
template <typename Take>
void Each(const std::string& text, const std::string& start, const std::regex& pattern, Take take) {
    for (std::size_t at = text.find(start); at != std::string::npos;) {
        std::size_t size = std::min(kMatchWindow, text.size() - at);
        auto first = text.begin() + static_cast<std::ptrdiff_t>(at);
        std::smatch match;
        std::size_t next = at + 1;
        if (std::regex_search(first, first + static_cast<std::ptrdiff_t>(size), match, pattern,
                              std::regex_constants::match_continuous)) {
            if (match[1].matched && !take(match[1].str())) return;
            next = at + static_cast<std::size_t>(std::max<std::ptrdiff_t>(match.length(0), 1));
        }
        at = text.find(start, next);
    }
}

}  // namespace

std::vector<std::string> Scan(const std::string& text, const std::string& start,
                              const std::regex& pattern) {
    std::vector<std::string> found;
    Each(text, start, pattern, [&](std::string group) {
        found.push_back(std::move(group));
        return true;
    });
    return found;
}

std::string ScanFirst(const std::string& text, const std::string& start,
                      const std::regex& pattern) {
    std::string first;
    Each(text, start, pattern, [&](std::string group) {
        first = std::move(group);
        return false;
    });
    return first;
}

}  // namespace setup
