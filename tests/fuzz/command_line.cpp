// Any command line of the console program (arguments apart at zero bytes),
// and the quoting of each argument for a child's command line, which must
// give back exactly the argument.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "arguments_posix.h"
#include "cli.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::wstring> args;
    for (std::size_t from = 0; from <= text.size();) {
        std::size_t end = text.find('\0', from);
        if (end == std::string::npos) end = text.size();
        std::string arg = text.substr(from, end - from);
        args.push_back(setup::PathText(arg));
        std::wstring quoted = L"git " + setup::Quote(setup::ToPath(args.back()));
        std::vector<std::string> back = setup::os::Arguments(setup::Narrow(quoted));
        if (back.size() != 2 || back[1] != arg) std::abort();
        from = end + 1;
    }
    setup::ParseArgs(args, "/home/someone/Corvane-Recomp");
    setup::os::Arguments(text);
    return 0;
}
