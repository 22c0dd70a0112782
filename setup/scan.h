// Regular expressions over text that comes from outside (web answers, build
// output), kept away from inputs long enough to exhaust a thread's stack: the
// standard library's matcher recurses once per character it consumes.
#pragma once

#include <regex>
#include <string>
#include <vector>

namespace setup {

// How much text one match may span. Longer values are refused: no real tag,
// URL or version comes near it, and a 1 MiB stack has room for many times it.
constexpr std::size_t kMatchWindow = 1024;

// Group 1 of every match of `pattern` that begins where `start` stands in the
// text, in the order of the text. `start` is the literal every match begins
// with; each try sees at most kMatchWindow bytes from there.
std::vector<std::string> Scan(const std::string& text, const std::string& start,
                              const std::regex& pattern);

// The first such group 1, or an empty string.
std::string ScanFirst(const std::string& text, const std::string& start, const std::regex& pattern);

}  // namespace setup
