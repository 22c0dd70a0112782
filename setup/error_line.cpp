#include "error_line.h"

#include <cstring>

namespace setup {

namespace {

bool Has(std::string_view line, std::string_view part) {
    return line.find(part) != std::string_view::npos;
}

bool Digit(char c) {
    return c >= '0' && c <= '9';
}

// "   40 |     code" or "      |     ^~~~": a compiler quoting the source.
bool Quoted(std::string_view line) {
    std::size_t at = line.find_first_not_of(' ');
    if (at == std::string_view::npos) return false;
    while (at < line.size() && Digit(line[at])) ++at;
    while (at < line.size() && line[at] == ' ') ++at;
    return at < line.size() && line[at] == '|';
}

// After a ':' of "file:12:3: error: ..." or "a.cpp(12): error C2065: ...":
// the word error, alone or after "fatal", then ':' or a space.
bool ErrorAfterColon(std::string_view rest) {
    for (std::string_view word : {" error", " fatal error"})
        if (rest.starts_with(word) && rest.size() > word.size() &&
            (rest[word.size()] == ':' || rest[word.size()] == ' '))
            return true;
    return false;
}

// The forms of a real error that begin the line.
bool ErrorStart(std::string_view line) {
    for (std::string_view start :
         {"error:", "fatal:", "fatal error", "CMake Error", "ERROR:", "Error:"})
        if (line.starts_with(start)) return true;
    return false;
}

}  // namespace

int ErrorWeight(std::string_view line) {
    if (line.empty()) return 0;
    char first = line[0];
    if (first == ' ' || first == '\t') {
        // Indented: a quote of the source, a traceback's frame, a command's
        // continuation; a real error there is one a tool indented.
        if (Quoted(line)) return 0;
        std::size_t text = line.find_first_not_of(" \t");
        return text != std::string_view::npos && Has(line.substr(text), "error:") ? 1 : 0;
    }
    if ((first == 'e' || first == 'f' || first == 'C' || first == 'E') && ErrorStart(line))
        return 2;
    // Every other form has a ':', which most of a build's lines don't.
    const char* data = line.data();
    const char* end = data + line.size();
    const char* colon = static_cast<const char*>(std::memchr(data, ':', line.size()));
    if (!colon) return 0;
    // Each ':' not after a quotation mark: "file:line:col: error:" names
    // the file first, and a warning quoting a string has the mark before.
    for (const char* at = colon; at; at = static_cast<const char*>(std::memchr(
                                         at + 1, ':', static_cast<std::size_t>(end - at - 1)))) {
        if (ErrorAfterColon({at + 1, static_cast<std::size_t>(end - at - 1)}))
            return std::memchr(data, '"', static_cast<std::size_t>(at - data)) ? 1 : 2;
    }
    return line.starts_with("FAILED:") || Has(line, "error:") ? 1 : 0;
}

bool Summary(std::string_view line) {
    // Each ends with a full stop but make's.
    if (line.empty() || (line.back() != '.' && !line.starts_with("make: *** "))) return false;
    if (Digit(line[0])) return Has(line, " error generated.") || Has(line, " errors generated.");
    return std::memchr(line.data(), ':', line.size()) &&
           (Has(line, "build stopped") || Has(line, "Error exit delayed from previous errors") ||
            line.starts_with("make: *** "));
}

bool ProgressLine(std::string_view line) {
    if (line.starts_with("==> ")) return true;
    if (line.size() > 1 && line[0] == '[' && Digit(line[1])) return true;
    std::size_t at = line.find_first_not_of(" \t");
    while (at < line.size() && Digit(line[at])) ++at;
    return at != std::string_view::npos && at < line.size() && line[at] == '%' && at > 0 &&
           Digit(line[at - 1]);
}

}  // namespace setup
