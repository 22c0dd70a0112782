#include "memory_sign.h"

#include <algorithm>

#include "error_line.h"

namespace setup {

namespace {

using namespace std::literals;

// The words of the tools that build the game: clang's and LLVM's ("LLVM
// ERROR: out of memory", "Allocation failed"), the C++ runtime's, GCC's
// ("virtual memory exhausted"), MSVC's (C1060 "compiler is out of heap
// space", LNK1102 "out of memory"), Windows' error 1455 as the system and
// Python word it, and the console's "Not enough memory".
constexpr std::string_view kSigns[] = {
    "out of memory",
    "Out of memory",
    "error in backend: out of memory",
    "Allocation failed",
    "bad_alloc",
    "virtual memory exhausted",
    "compiler is out of heap space",
    "LNK1102",
    "paging file is too small",
    "error 1455",
    "WinError 1455",
    "not enough memory",
    "Not enough memory",
    // A compiler the kernel ended, as the compiler driver and GCC tell it.
    "unable to execute command: Killed",
    "Killed signal terminated program",
};

// MSVC's numbers for running out of memory, which its messages word in many ways.
constexpr std::string_view kCodes[] = {"C1060", "C1076", "C3859", "C1002", "LNK1102"};

bool Digit(char c) {
    return c >= '0' && c <= '9';
}

// A line a compiler quotes from the source, or a traceback's indented
// source line: whatever words it holds are code.
bool Code(std::string_view line) {
    std::size_t at = line.find_first_not_of(' ');
    if (at == std::string_view::npos) return false;
    return at >= 4 || line[at] == '\t' || Quoted(line);
}

// Where the text of a diagnostic ("a.cpp:3:1: error: ...", "LINK : fatal
// error LNK1102: ...") begins, with its code if it has one; npos for a line
// that is none.
std::size_t Diagnostic(std::string_view line, std::string_view& code) {
    for (std::string_view word : {"error"sv, "warning"sv, "note"sv}) {
        for (std::size_t at = line.find(word); at != std::string_view::npos;
             at = line.find(word, at + 1)) {
            std::size_t end = at + word.size();
            std::size_t from = end;
            if (end < line.size() && line[end] == ' ') {
                std::size_t digits = line.find_first_of("0123456789", end + 1);
                std::size_t colon = line.find(':', end + 1);
                if (digits == std::string_view::npos || colon == std::string_view::npos ||
                    colon - end > 9 || digits > colon)
                    continue;
                code = line.substr(end + 1, colon - end - 1);
                end = colon;
            }
            if (end < line.size() && line[end] == ':' && (from == end || !code.empty()))
                return line.find_first_not_of(' ', end + 1);
        }
    }
    return std::string_view::npos;
}

bool Starts(std::string_view text) {
    return std::any_of(std::begin(kSigns), std::end(kSigns),
                       [&](std::string_view sign) { return text.starts_with(sign); });
}

}  // namespace

bool MemorySign(std::string_view line) {
    // A shell tells of its command ended by SIGKILL with this word alone.
    if (line == "Killed") return true;
    // A build tool's step line ("[12/345] Building ...") is most of the
    // output and only names a step: the table's scans are spared it.
    if (line.size() > 1 && line[0] == '[' && Digit(line[1])) return false;
    if (Code(line)) return false;
    // Python's own, as a traceback's exception line: its source lines quote
    // the code that raised it.
    if (line.starts_with("MemoryError")) return line.size() == 11 || line[11] == ':';
    // A diagnostic counts by its code or by its first words: one that merely
    // names `std::bad_alloc` or quotes a message is about the code.
    std::string_view code;
    std::size_t text = Diagnostic(line, code);
    if (text != std::string_view::npos)
        return std::find(std::begin(kCodes), std::end(kCodes), code) != std::end(kCodes) ||
               Starts(line.substr(std::min(text, line.size())));
    return std::any_of(std::begin(kSigns), std::end(kSigns), [&](std::string_view sign) {
        return line.find(sign) != std::string_view::npos;
    });
}

}  // namespace setup
