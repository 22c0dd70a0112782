// The limits of the reader of GitHub's and NuGet's JSON answers
// (json_read.h). An answer may be any 8 MB (Get's cap) a server or something
// in the way sends: the reader refuses one nested deeper than any real
// answer, or holding more values, before it can cost much memory.
#pragma once

#include <cstddef>

namespace setup {

constexpr std::size_t kMaxJsonDepth = 64;
// A release with a thousand assets is about 40,000 values; NuGet's catalog
// entry of a Python package about 20,000.
constexpr std::size_t kMaxJsonValues = 100000;

}  // namespace setup
