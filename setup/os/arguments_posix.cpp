#include "arguments_posix.h"

namespace setup::os {

std::vector<std::string> Arguments(const std::string& command) {
    std::vector<std::string> args;
    std::string arg;
    bool inArg = false;  // an argument has begun, maybe as an empty ""
    bool quoted = false;
    for (char c : command) {
        if (c == '"') {
            quoted = !quoted;
            inArg = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inArg) args.push_back(arg);
            arg.clear();
            inArg = false;
        } else {
            arg.push_back(c);
            inArg = true;
        }
    }
    if (inArg) args.push_back(arg);
    return args;
}

}  // namespace setup::os
