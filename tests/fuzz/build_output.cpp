// Any output of the build script, line by line, through the build stage's
// handler and the console's status line.
#include <cstddef>
#include <cstdint>
#include <string>

#include "build.h"
#include "console_view.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    setup::BuildOutput output;
    for (std::size_t from = 0; from <= text.size();) {
        std::size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(from, end - from);
        output(line);
        int columns = size ? data[0] % 200 : 80;
        setup::ConsoleView::Fit(setup::Widen(line), size > 1 ? data[1] % 120 - 10 : 0, 3, columns);
        from = end + 1;
    }
    return 0;
}
