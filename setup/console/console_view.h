// What the console shows of a run: on a terminal a status line with a
// progress bar redrawn in place, fitted to the terminal's width; elsewhere
// plain lines, each status once and a download's or the build's progress
// every 10 % (and at least once a minute while it moves). The final message
// of a failed run goes to standard error.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "step_clock.h"

namespace setup {

class ConsoleView {
  public:
    using Clock = std::chrono::steady_clock;

    ConsoleView(bool terminal, bool verbose, std::FILE* out = stdout, std::FILE* err = stderr)
        : terminal_(terminal), verbose_(verbose), out_(out), err_(err) {}

    // The terminal's width in columns; the status line is redrawn to fit it,
    // the old one cleared first also where the terminal wrapped it.
    void SetWidth(int columns);
    // Marks the final message of a failed run (bold red).
    void SetColor(bool color) { color_ = color; }
    // Tests move time on by hand.
    void SetClock(Clock::time_point (*now)()) { now_ = now; }

    void Line(const std::wstring& lines);  // one or more log lines, each on a line of its own
    void Status(const std::wstring& text, bool download = false);
    // -1: work of unknown length; steps: kMsgProgress's lParam (see Steps),
    // not 0 for the build's progress.
    void Progress(int percent, std::intptr_t steps = 0);
    void Tick();  // moves the spinner while nothing arrives
    // Ctrl-C: the terminal echoed "^C" after the status line.
    void Interrupted();
    // `result` is kMsgDone's wParam: 1 success, 0 failure or cancel, or a
    // kDeclined* No. A failure's cause and setup.log's path follow its
    // message, each when known; a success's message is followed by the
    // launcher's path. Only a failure is marked: a cancel or a No is no error.
    void Done(const std::wstring& message, int result, const std::wstring& cause = {},
              const std::wstring& log = {}, const std::wstring& launcher = {});

    // The bar as drawn for a percentage (values above 100 show as 100), with
    // `cells` cells between its brackets.
    static std::string Bar(int percent, int frame, int cells = 24);
    // The status line as drawn on a terminal of that many columns: never
    // longer than one column short of it, so that it never wraps. Short of
    // room the bar goes first, then the label is shortened (a download keeps
    // its tool's name) and the figures after the label's colon are written
    // shorter, never left out; only a terminal too narrow for those is cut.
    // Finished work (100 %) has no bar.
    static std::string Fit(const std::wstring& status, int percent, int frame, int columns);

  private:
    std::wstring Text() const;  // the status with the build's step, if any
    void Draw();
    void Clear();
    void Print(const std::wstring& text);
    // Progress without a terminal: printed when its tenth or its subject
    // changes, otherwise held until a minute has passed since the last line.
    void Paced(const std::wstring& text, int tenth);
    void Flush();  // the log lines held back (see Line)

    bool terminal_;
    bool verbose_;
    std::FILE* out_;
    std::FILE* err_;
    bool color_ = false;
    Clock::time_point (*now_)() = Clock::now;
    int columns_ = 80;
    int drawn_ = 0;  // columns of the status line on the terminal now
    std::wstring status_;
    std::wstring steps_;  // ": step 12 of 40, about 3 min left"
    StepClock clock_;
    int percent_ = 0;
    RunBar bar_;  // the terminal's bar: the whole run's, which never goes back
    int frame_ = 0;
    // The last block of log lines, printed only once the next thing comes: a
    // run's last line is its final message, which Done prints itself.
    std::wstring held_;
    // Without a terminal: what was printed last, the tenth of the progress it
    // showed and when; and progress not printed yet.
    std::wstring printed_;
    int printedTenth_ = -2;
    Clock::time_point printedAt_{};
    std::wstring due_;
};

}  // namespace setup
