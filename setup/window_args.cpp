#include "window_args.h"

#include "cli.h"

namespace setup {

std::wstring UpdateFolder(const std::vector<std::wstring>& args) {
    std::wstring folder;
    // Scanned as overlapping pairs, so "--update --update X" ends with X and a
    // trailing "--update" never reads past the end.
    for (std::size_t i = 2; i < args.size(); ++i)
        if (args[i - 1] == L"--update") folder = args[i];
    return folder;
}

void ApplyMirrors(const std::vector<std::wstring>& args) {
    for (std::size_t i = 1; i + 1 < args.size(); ++i)
        if (IsMirror(args[i])) {
            ApplyMirror(args[i], args[i + 1]);
            ++i;
        }
}

}  // namespace setup
