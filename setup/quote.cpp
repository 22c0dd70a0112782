#include "setup.h"

namespace setup {

// Nothing inside is escaped: the program's own command lines never need it.
std::wstring Quote(const fs::path& path) {
    return L"\"" + PathText(path) + L"\"";
}

}  // namespace setup
