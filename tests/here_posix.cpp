#include "here.h"

namespace setup::test {

std::filesystem::path TestFolder() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

}  // namespace setup::test
