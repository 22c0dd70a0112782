#include "setup.h"

namespace setup {

// The rules by which Windows programs split their command line
// (CommandLineToArgvW), which the Linux splitter follows too: backslashes
// count only before a quotation mark, where each pair gives one and an odd
// one escapes the mark. So a drive root E:\ must not reach a child as E:".
std::wstring Quote(const fs::path& path) {
    std::wstring quoted = L"\"";
    std::size_t slashes = 0;
    for (wchar_t c : PathText(path)) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * slashes + 1 : slashes, L'\\');
        quoted += c;
        slashes = 0;
    }
    quoted.append(2 * slashes, L'\\');
    return quoted + L"\"";
}

}  // namespace setup
