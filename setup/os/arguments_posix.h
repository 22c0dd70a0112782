// Splits a command line into a program's arguments by the rules Windows
// programs split theirs (CommandLineToArgvW), the rules Quote writes for:
// spaces (or tabs) outside double quotes separate arguments and the quotes
// are removed; backslashes before a quote are halved, an odd one left over
// making the quote a letter; other backslashes are letters. "" is an empty
// argument.
#pragma once

#include <string>
#include <vector>

namespace setup::os {

std::vector<std::string> Arguments(const std::string& command);

}  // namespace setup::os
