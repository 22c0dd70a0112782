#include "arguments_posix.h"

namespace setup::os {

std::vector<std::string> Arguments(const std::string& command) {
    std::vector<std::string> args;
    std::string arg;
    bool inArg = false;  // an argument has begun, maybe as an empty ""
    bool quoted = false;
    for (std::size_t i = 0; i < command.size();) {
        char c = command[i];
        if (c == '\\') {
            std::size_t end = command.find_first_not_of('\\', i);
            if (end == std::string::npos) end = command.size();
            std::size_t slashes = end - i;
            i = end;
            inArg = true;
            if (i < command.size() && command[i] == '"') {
                arg.append(slashes / 2, '\\');
                if (slashes % 2 == 0) continue;  // the quote opens or closes
                arg.push_back('"');
                ++i;
            } else {
                arg.append(slashes, '\\');
            }
            continue;
        }
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
        ++i;
    }
    if (inArg) args.push_back(arg);
    return args;
}

}  // namespace setup::os
