#include "console_view.h"

#include "setup.h"

namespace setup {

namespace {
constexpr int kWidth = 24;
}

std::string ConsoleView::Bar(int percent, int frame) {
    std::string bar(kWidth, '.');
    if (percent < 0) {
        // A block bouncing along the bar, like the window's marquee.
        int span = kWidth - 4, at = frame % (2 * span);
        if (at > span) at = 2 * span - at;
        bar.replace(static_cast<std::size_t>(at), 4, "####");
        return "[" + bar + "]     ";
    }
    if (percent > 100) percent = 100;
    bar.replace(0, static_cast<std::size_t>(percent * kWidth / 100),
                static_cast<std::size_t>(percent * kWidth / 100), '#');
    char figure[8];
    std::snprintf(figure, sizeof figure, " %3d%%", percent);
    return "[" + bar + "]" + figure;
}

void ConsoleView::Clear() {
    if (terminal_) std::fputs("\r\033[K", out_);
}

void ConsoleView::Draw() {
    if (!terminal_ || status_.empty()) return;
    Clear();
    std::string text = Narrow(status_);
    if (text.size() > 60) text = text.substr(0, 57) + "...";
    std::fprintf(out_, "%s %s", Bar(percent_, frame_).c_str(), text.c_str());
    std::fflush(out_);
}

void ConsoleView::Line(const std::wstring& line) {
    if (!verbose_) return;
    Clear();
    std::fprintf(out_, "%s\n", Narrow(line).c_str());
    Draw();
}

void ConsoleView::Status(const std::wstring& text) {
    status_ = text;
    if (terminal_) {
        Draw();
    } else if (!verbose_) {
        // The log lines already carry the status as "== text" in verbose mode.
        std::fprintf(out_, "%s\n", Narrow(text).c_str());
        std::fflush(out_);
    }
}

void ConsoleView::Progress(int percent) {
    percent_ = percent;
    Draw();
}

void ConsoleView::Tick() {
    ++frame_;
    if (percent_ < 0) Draw();
}

void ConsoleView::Done(const std::wstring& message) {
    Clear();
    std::fprintf(out_, "%s\n", Narrow(message).c_str());
    std::fflush(out_);
}

}  // namespace setup
