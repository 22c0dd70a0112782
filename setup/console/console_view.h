// What the console shows of a run: on a terminal a status line with a
// progress bar redrawn in place, fitted to the terminal's width; elsewhere
// plain lines, each status once and a download's progress every 10 %. The
// final message of a failed run goes to standard error.
#pragma once

#include <cstdio>
#include <string>

namespace setup {

class ConsoleView {
  public:
    ConsoleView(bool terminal, bool verbose, std::FILE* out = stdout, std::FILE* err = stderr)
        : terminal_(terminal), verbose_(verbose), out_(out), err_(err) {}

    // The terminal's width in columns; the status line is redrawn to fit it.
    void SetWidth(int columns);
    // Marks the final message of a failed run (bold red).
    void SetColor(bool color) { color_ = color; }

    void Line(const std::wstring& line);
    void Status(const std::wstring& text, bool download = false);
    void Progress(int percent);  // -1: work of unknown length
    void Tick();                 // moves the spinner while nothing arrives
    // A failure's cause and setup.log's path follow its message, each when known.
    void Done(const std::wstring& message, bool succeeded, const std::wstring& cause = {},
              const std::wstring& log = {});

    // The bar as drawn for a percentage (values above 100 show as 100), with
    // `cells` cells between its brackets.
    static std::string Bar(int percent, int frame, int cells = 24);
    // The status line as drawn on a terminal of that many columns: never
    // longer than one column short of it, so that it never wraps.
    static std::string Fit(const std::wstring& status, int percent, int frame, int columns);

  private:
    void Draw();
    void Clear();

    bool terminal_;
    bool verbose_;
    std::FILE* out_;
    std::FILE* err_;
    bool color_ = false;
    int columns_ = 80;
    std::wstring status_;
    int percent_ = 0;
    int frame_ = 0;
    // Without a terminal: what was printed last, and the tenth of the download it showed.
    std::wstring printed_;
    int printedTenth_ = -2;
};

}  // namespace setup
