#include "console_view.h"

#include <algorithm>
#include <cstring>

#include "cli.h"
#include "setup.h"

namespace setup {

namespace {

constexpr int kCells = 24;     // the bar's cells when there is room
constexpr int kMinCells = 10;  // narrower than this, the bar gives way
constexpr int kFrame = 7;      // the brackets and the figure around the cells
// Without a terminal, progress that moves is printed at least this often.
constexpr std::chrono::minutes kLifeSign{1};

int Width(const std::wstring& text) {
    return static_cast<int>(text.size());
}

// Cut to at most `columns` characters, the cut marked with "...".
std::wstring Cut(const std::wstring& text, int columns) {
    auto room = static_cast<std::size_t>(std::max(columns, 0));
    if (text.size() <= room) return text;
    if (room <= 3) return text.substr(0, room);
    return text.substr(0, room - 3) + L"...";
}

// "12 MB of 38 MB" written "12/38 MB": the same figures in less room.
std::wstring Compact(std::wstring figures) {
    for (const wchar_t* unit : {L" MB of ", L" KB of "}) {
        std::size_t of = figures.find(unit);
        if (of != std::wstring::npos) figures.replace(of, 7, L"/");
    }
    return figures;
}

// A status in at most `room` columns: "Label: figures" gives up the label's
// verb (a download keeps the tool's name), then room in its figures' form,
// then the label; the figures are cut only when nothing else is left.
std::wstring Shorten(const std::wstring& text, int room) {
    if (Width(text) <= room) return text;
    std::size_t colon = text.find(L": ");
    if (colon == std::wstring::npos) return Cut(text, room);
    std::wstring label = text.substr(0, colon), figures = text.substr(colon + 2);
    const std::wstring verb = L"Downloading ";
    if (label.rfind(verb, 0) == 0 && label.size() > verb.size()) label.erase(0, verb.size());
    for (const std::wstring& form : {figures, Compact(figures)}) {
        if (Width(label) + 2 + Width(form) <= room) return label + L": " + form;
        if (Width(label) + 1 + Width(form) <= room) return label + L" " + form;
    }
    figures = Compact(figures);
    int left = room - 1 - Width(figures);
    if (left >= 4) return Cut(label, left) + L" " + figures;
    // The figures (a build's time left, for one) outlast the label.
    if (Width(figures) <= room) return figures;
    return Cut(label + L" " + figures, room);
}

// A status's subject: the part before the colon ("Downloading CMake").
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
    if (percent >= 100) return Narrow(Shorten(status, room));
    int cells = std::min(kCells, room - kFrame - 1 - Width(status));
    if (cells >= kMinCells) return Bar(percent, frame, cells) + " " + Narrow(status);
    // Short of room the text matters more than the bar: only its figure stays,
    // or a spinner for work of unknown length.
    char head[8] = {"|/-\\"[frame % 4], ' ', '\0'};
    if (percent >= 0) std::snprintf(head, sizeof head, "%d%% ", percent);
    int rest = room - static_cast<int>(std::strlen(head));
    if (rest >= 4) return head + Narrow(Shorten(status, rest));
    return Narrow(Cut(status, room));
}

void ConsoleView::SetWidth(int columns) {
    columns_ = columns > 0 ? columns : 80;
    Draw();
}

void ConsoleView::Clear() {
    if (!terminal_) return;
    // A terminal made narrower wraps the old line onto more rows: each goes.
    std::string clear = "\r\033[K";
    for (int row = 1; drawn_ > 0 && row <= (drawn_ - 1) / columns_; ++row) clear += "\033[1A\033[K";
    std::fputs(clear.c_str(), out_);
    drawn_ = 0;
}

std::wstring ConsoleView::Text() const {
    return status_ + steps_;
}

void ConsoleView::Draw() {
    if (!terminal_ || status_.empty()) return;
    Clear();
    std::string line = Fit(Shown(Text()), percent_, frame_, columns_);
    std::fputs(line.c_str(), out_);
    std::fflush(out_);
    drawn_ = Width(Widen(line));
}

void ConsoleView::Print(const std::wstring& text) {
    std::fprintf(out_, "%s\n", Narrow(Shown(text)).c_str());
    std::fflush(out_);
    printed_ = text;
    printedTenth_ = -2;
    printedAt_ = now_();
    due_.clear();
}

void ConsoleView::Flush() {
    if (held_.empty()) return;
    Clear();
    std::fprintf(out_, "%s\n", Narrow(held_).c_str());
    held_.clear();
    Draw();
}

void ConsoleView::Line(const std::wstring& lines) {
    if (!verbose_) return;
    Flush();
    held_ = lines;
}

void ConsoleView::Status(const std::wstring& text, bool download) {
    Flush();
    status_ = text;
    steps_.clear();
    if (terminal_) return Draw();
    // The log lines already carry the status as "== text" in verbose mode.
    if (verbose_ || text == printed_) return;
    if (!download) return Print(text);
    Paced(text, percent_ >= 0 ? percent_ / 10 : -1);
}

void ConsoleView::Paced(const std::wstring& text, int tenth) {
    bool again = tenth == printedTenth_ && Subject(text) == Subject(printed_);
    if (again && now_() - printedAt_ < kLifeSign) {
        due_ = text;
        return;
    }
    Print(text);
    printedTenth_ = tenth;
}

void ConsoleView::Progress(int percent, std::intptr_t steps) {
    percent_ = percent;
    steps_.clear();
    if (steps > 0) steps_ = L": " + clock_.Text(steps, now_());
    if (terminal_) {
        // The bar as the window's: the whole run's, never going back.
        percent_ = bar_.Figure(percent, steps);
        return Draw();
    }
    // The build's progress, which no status line carries: a piped log shows
    // it every tenth, so that a half hour of building isn't silent.
    if (verbose_ || steps == 0 || status_.empty() || percent < 0 ||
        (percent >= 100 && steps_.empty()))
        return;
    std::wstring figure = std::to_wstring(std::min(percent, 100)) + L" %";
    std::wstring text = steps_.empty() ? status_ + L": " + figure : Text() + L" (" + figure + L")";
    Paced(text, std::min(percent, 100) / 10);
}

void ConsoleView::Tick() {
    ++frame_;
    Flush();
    if (!terminal_ && !due_.empty()) Paced(due_, printedTenth_);
    if (percent_ < 0) Draw();
}

void ConsoleView::Interrupted() {
    // The terminal echoed "^C" after the line, which may have wrapped it.
    if (terminal_ && drawn_ > 0) drawn_ += 2;
}

void ConsoleView::Done(const std::wstring& message, int result, const std::wstring& cause,
                       const std::wstring& log, const std::wstring& launcher) {
    bool succeeded = result == 1, cancelled = !succeeded && message == kCancelled;
    // A No or a stop is the user's choice: not marked as an error.
    bool failed = result == 0 && !cancelled;
    // The run's last log line is its final message: shown once, below.
    if (held_ == message) {
        held_.clear();
    } else if (held_.size() > message.size() &&
               held_.compare(held_.size() - message.size() - 1, std::wstring::npos,
                             L"\n" + message) == 0) {
        held_.resize(held_.size() - message.size() - 1);
    }
    Flush();
    Clear();
    std::fflush(out_);
    std::FILE* to = succeeded ? out_ : err_;
    bool mark = failed && color_;
    // A terminal would break the lines in the middle of a word.
    auto fit = [&](const std::wstring& text) {
        return Narrow(terminal_ ? Wrap(text, columns_) : text);
    };
    std::string shown = fit(Shown(cancelled ? kCancelledNote : ConsoleMessage(message)));
    std::fprintf(to, mark ? "\033[1;31m%s\033[0m\n" : "%s\n", shown.c_str());
    // The cause is the program's or the system's own words: never translated.
    auto line = [&](const wchar_t* form, const std::wstring& what) {
        std::fprintf(to, "%s\n", fit(L"  " + Fill(Shown(form), {what})).c_str());
    };
    if (!succeeded && !cause.empty()) line(T(L"caused by: {}"), cause);
    if (!succeeded && !log.empty()) line(T(L"full log: {}"), log);
    if (succeeded && !launcher.empty()) line(T(L"launcher: {}"), launcher);
    std::fflush(to);
}

}  // namespace setup
