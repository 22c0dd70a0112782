#pragma once

#include <nlohmann/json.hpp>

#include <string>

#include "json.h"

namespace setup {

// The answer's value; null when it isn't JSON or is past the limits.
nlohmann::json ReadJson(const std::string& text);

}  // namespace setup
