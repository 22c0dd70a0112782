// Reading the JSON answers of GitHub and NuGet. An answer may be any 8 MB
// (Get's cap) a server or something in the way sends: the reader refuses one
// nested deeper than any real answer, or holding more values, before it can
// cost much memory.
#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <string>

namespace setup {

constexpr std::size_t kMaxJsonDepth = 64;
// A release with a thousand assets is about 40,000 values; NuGet's catalog
// entry of a Python package about 20,000.
constexpr std::size_t kMaxJsonValues = 100000;

// The answer's value; null when it isn't JSON or is past the limits.
nlohmann::json ReadJson(const std::string& text);

}  // namespace setup
