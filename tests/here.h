// Where the test program lives: the build's test folder, which also holds the
// helper programs and the local server's port file.
#pragma once

#include <filesystem>

namespace setup::test {

std::filesystem::path TestFolder();

}  // namespace setup::test
