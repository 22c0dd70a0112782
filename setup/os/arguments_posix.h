// Splits a command line into a program's arguments by the rule the program's
// own command lines follow: spaces (or tabs) outside double quotes separate
// arguments and the quotes are removed. Nothing is escaped, as Quote escapes
// nothing; "" is an empty argument.
#pragma once

#include <string>
#include <vector>

namespace setup::os {

std::vector<std::string> Arguments(const std::string& command);

}  // namespace setup::os
