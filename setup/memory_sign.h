// Whether a line of the build's output says it ran out of memory: the
// compiler's or linker's own words, or a compiler killed (on Linux, by the
// out-of-memory killer).
#pragma once

#include <string_view>

namespace setup {

bool MemorySign(std::string_view line);

}  // namespace setup
