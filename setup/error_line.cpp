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

// After a ':' of "file:12:3: error: ..." or "a.cpp(12): error C2065: ...":
// the word error, alone or after "fatal", then ':' or a space.
bool ErrorAfterColon(std::string_view rest) {
    for (std::string_view word : {" error", " fatal error"})
        if (rest.starts_with(word) && rest.size() > word.size() &&
            (rest[word.size()] == ':' || rest[word.size()] == ' '))
            return true;
    return false;
}

// After a ':': "file:3: warning: ...", MSVC's "a.cpp(3): warning C4996: ...".
bool WarningAfterColon(std::string_view rest) {
    return rest.starts_with(" warning") && rest.size() > 8 && (rest[8] == ':' || rest[8] == ' ');
}

// The forms of a warning that begin the line: a compiler's, CMake's and
// Python logging's, whose text may well hold "error".
bool WarningStart(std::string_view line) {
    for (std::string_view start : {"warning:", "Warning:", "WARNING:", "CMake Warning"})
        if (line.starts_with(start)) return true;
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

bool Quoted(std::string_view line) {
    std::size_t at = line.find_first_not_of(' ');
    if (at == std::string_view::npos) return false;
    while (at < line.size() && Digit(line[at])) ++at;
    while (at < line.size() && line[at] == ' ') ++at;
    return at < line.size() && line[at] == '|';
}

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
    if ((first == 'w' || first == 'W' || first == 'C') && WarningStart(line)) return -1;
    // Every other form has a ':', which most of a build's lines don't.
    const char* data = line.data();
    const char* end = data + line.size();
    const char* colon = static_cast<const char*>(std::memchr(data, ':', line.size()));
    if (!colon) return 0;
    // Each ':' not after a quotation mark: "file:line:col: error:" names
    // the file first, and a warning quoting a string has the mark before.
    for (const char* at = colon; at; at = static_cast<const char*>(std::memchr(
                                         at + 1, ':', static_cast<std::size_t>(end - at - 1)))) {
        std::string_view rest(at + 1, static_cast<std::size_t>(end - at - 1));
        if (WarningAfterColon(rest)) return -1;
        if (ErrorAfterColon(rest))
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

std::string_view Plain(std::string_view line, std::string& room) {
    std::size_t at = line.find('\x1b');
    if (at == std::string_view::npos) return line;
    room.assign(line, 0, at);
    while (at < line.size()) {
        if (line[at] != '\x1b') {
            room += line[at++];
        } else if (at + 1 < line.size() && line[at + 1] == '[') {
            // A control sequence: parameters and intermediates, then one final byte.
            at += 2;
            while (at < line.size() && (line[at] < 0x40 || line[at] > 0x7e)) ++at;
            ++at;
        } else {
            at += 2;  // ESC and one character
        }
    }
    return room;
}

bool Decoration(std::string_view line) {
    if (ProgressLine(line)) return true;
    for (std::size_t i = 0; i < line.size(); ++i) {
        auto c = static_cast<unsigned char>(line[i]);
        if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') return false;
        // Any other letter starts with a lead byte; box drawing (U+2500 to
        // U+257F) is E2 94 or E2 95 and one more byte.
        if (c == 0xe2 && i + 1 < line.size() && (line[i + 1] == '\x94' || line[i + 1] == '\x95'))
            i += 2;
        else if (c >= 0xc0)
            return false;
    }
    return true;
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
