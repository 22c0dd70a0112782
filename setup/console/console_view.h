// What the console shows of a run: on a terminal a status line with a
// progress bar redrawn in place, elsewhere plain lines.
#pragma once

#include <cstdio>
#include <string>

namespace setup {

class ConsoleView {
  public:
    ConsoleView(bool terminal, bool verbose, std::FILE* out = stdout)
        : terminal_(terminal), verbose_(verbose), out_(out) {}

    void Line(const std::wstring& line);
    void Status(const std::wstring& text);
    void Progress(int percent);  // -1: work of unknown length
    void Tick();                 // moves the spinner while nothing arrives
    void Done(const std::wstring& message);

    // The bar as drawn for a percentage (values above 100 show as 100).
    static std::string Bar(int percent, int frame);

  private:
    void Draw();
    void Clear();

    bool terminal_;
    bool verbose_;
    std::FILE* out_;
    std::wstring status_;
    int percent_ = 0;
    int frame_ = 0;
};

}  // namespace setup
