#include "error_line.h"

namespace setup {

namespace {

bool Has(std::string_view line, std::string_view part) {
    return line.find(part) != std::string_view::npos;
}

}  // namespace

int ErrorWeight(std::string_view line) {
    if (Has(line, "error:") || Has(line, "fatal error") || line.starts_with("fatal:") ||
        line.starts_with("CMake Error"))
        return 2;
    return line.starts_with("FAILED:") ? 1 : 0;
}

bool Summary(std::string_view line) {
    return Has(line, "build stopped") || Has(line, "Error exit delayed from previous errors") ||
           line.starts_with("make: *** ") || Has(line, " error generated.") ||
           Has(line, " errors generated.");
}

}  // namespace setup
