#include "console_view.h"

#include <algorithm>
#include <cstring>

#include "setup.h"

namespace setup {

namespace {

constexpr int kCells = 24;     // the bar's cells when there is room
constexpr int kMinCells = 10;  // narrower than this, the bar gives way
constexpr int kFrame = 7;      // the brackets and the figure around the cells

// Cut to at most `columns` characters, the cut marked with "...".
std::wstring Cut(const std::wstring& text, int columns) {
    auto room = static_cast<std::size_t>(std::max(columns, 0));
    if (text.size() <= room) return text;
    if (room <= 3) return text.substr(0, room);
    return text.substr(0, room - 3) + L"...";
}

// A download's status names it before the colon: "Downloading CMake: ...".
std::wstring Subject(const std::wstring& text) {
    return text.substr(0, text.find(L':'));
}

}  // namespace

std::string ConsoleView::Bar(int percent, int frame, int cells) {
    std::string bar(static_cast<std::size_t>(cells), '.');
    if (percent < 0) {
        // A block bouncing along the bar, like the window's marquee.
        int span = cells - 4, at = frame % (2 * span);
        if (at > span) at = 2 * span - at;
        bar.replace(static_cast<std::size_t>(at), 4, "####");
        return "[" + bar + "]     ";
    }
    if (percent > 100) percent = 100;
    auto filled = static_cast<std::size_t>(percent * cells / 100);
    bar.replace(0, filled, filled, '#');
    char figure[8];
    std::snprintf(figure, sizeof figure, " %3d%%", percent);
    return "[" + bar + "]" + figure;
}

std::string ConsoleView::Fit(const std::wstring& status, int percent, int frame, int columns) {
    // The last column is left free: writing into it makes some terminals wrap.
    int room = columns - 1;
    int text = static_cast<int>(status.size());
    int cells = std::min(kCells, room - kFrame - 1 - text);
    if (cells >= kMinCells) return Bar(percent, frame, cells) + " " + Narrow(status);
    // Short of room the text matters more than the bar: only its figure stays,
    // or a spinner for work of unknown length.
    char head[8] = {"|/-\\"[frame % 4], ' ', '\0'};
    if (percent >= 0) std::snprintf(head, sizeof head, "%3d%% ", std::min(percent, 100));
    int rest = room - static_cast<int>(std::strlen(head));
    if (rest >= 4) return head + Narrow(Cut(status, rest));
    return Narrow(Cut(status, room));
}

void ConsoleView::SetWidth(int columns) {
    columns_ = columns > 0 ? columns : 80;
    Draw();
}

void ConsoleView::Clear() {
    if (terminal_) std::fputs("\r\033[K", out_);
}

void ConsoleView::Draw() {
    if (!terminal_ || status_.empty()) return;
    Clear();
    std::fputs(Fit(status_, percent_, frame_, columns_).c_str(), out_);
    std::fflush(out_);
}

void ConsoleView::Line(const std::wstring& line) {
    if (!verbose_) return;
    Clear();
    std::fprintf(out_, "%s\n", Narrow(line).c_str());
    Draw();
}

void ConsoleView::Status(const std::wstring& text, bool download) {
    status_ = text;
    if (terminal_) return Draw();
    // The log lines already carry the status as "== text" in verbose mode.
    if (verbose_ || text == printed_) return;
    int tenth = download && percent_ >= 0 ? percent_ / 10 : -1;
    if (download && tenth == printedTenth_ && Subject(text) == Subject(printed_)) return;
    printed_ = text;
    printedTenth_ = download ? tenth : -2;
    std::fprintf(out_, "%s\n", Narrow(text).c_str());
    std::fflush(out_);
}

void ConsoleView::Progress(int percent) {
    percent_ = percent;
    Draw();
}

void ConsoleView::Tick() {
    ++frame_;
    if (percent_ < 0) Draw();
}

void ConsoleView::Done(const std::wstring& message, bool succeeded, const std::wstring& cause,
                       const std::wstring& log) {
    Clear();
    std::fflush(out_);
    std::FILE* to = succeeded ? out_ : err_;
    bool mark = !succeeded && color_;
    std::fprintf(to, mark ? "\033[1;31m%s\033[0m\n" : "%s\n", Narrow(message).c_str());
    if (!succeeded && !cause.empty()) std::fprintf(to, "  caused by: %s\n", Narrow(cause).c_str());
    if (!succeeded && !log.empty()) std::fprintf(to, "  full log: %s\n", Narrow(log).c_str());
    std::fflush(to);
}

}  // namespace setup
