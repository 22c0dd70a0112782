// The flood child's output through the real setup window, under Wine: this is
// the window program itself, with a thread that, once the window shows, does
// what the build stage does (setup.log open, the build's output handler, the
// lines posted to the window), then checks the detail log against setup.log
// and closes the window. Set in the environment:
//   CORVANE_FLOOD        the flood program
//   CORVANE_FLOOD_LINES  how many lines it prints
//   CORVANE_FLOOD_DIR    a folder for setup.log, the child's time and the result
//   CORVANE_FLOOD_PLAIN  set: no output handler, so no progress messages
//   CORVANE_FLOOD_READ   set: only read the pipe, the floor of any reader
// The result (FOLDER/result.txt) is one line: the child's exit code, the lines
// of setup.log, the lines the detail log holds, whether those are, in order,
// exactly the last lines of setup.log (the rest trimmed away), and the
// seconds from the child's end until the detail log showed its last line.
#include <windows.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "build.h"
#include "child.h"
#include "read_only.h"
#include "setup.h"
#include "window.h"

namespace setup {
namespace {

std::wstring Env(const wchar_t* name) {
    wchar_t value[1024] = L"";
    GetEnvironmentVariableW(name, value, 1024);
    return value;
}

std::vector<std::wstring> Split(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::wistringstream in(text);
    for (std::wstring line; std::getline(in, line);) {
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::wstring LogText() {
    HWND log = GetDlgItem(s_window, kIdLog);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(log)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(log, text.data(), static_cast<int>(text.size()))));
    return text;
}

void Flood() {
    while (!IsWindow(s_window) || !IsWindowVisible(s_window)) Sleep(10);
    fs::path dir = Env(L"CORVANE_FLOOD_DIR");
    OpenLog(dir);
    BuildOutput build;
    LineHandler handler;
    if (Env(L"CORVANE_FLOOD_PLAIN").empty()) handler = std::ref(build);
    std::wstring command = Quote(Env(L"CORVANE_FLOOD")) + L" " + Env(L"CORVANE_FLOOD_LINES") +
                           L" " + Quote(dir / "time.txt");
    int code = Env(L"CORVANE_FLOOD_READ").empty() ? Run(command, {}, handler) : ReadOnly(command);
    // Run returns once every writer of the pipe is gone: the child's end.
    auto ended = std::chrono::steady_clock::now();
    CloseLog();

    std::ifstream file(dir / "setup.log", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), {});
    std::vector<std::wstring> logged = Split(Widen(bytes));
    // The window has taken every block once its text ends with the last line.
    std::wstring last = logged.empty() ? L"" : logged.back() + L"\r\n";
    std::wstring text;
    for (int i = 0; i < 30000; ++i) {
        text = LogText();
        if (text.size() >= last.size() &&
            text.compare(text.size() - last.size(), last.size(), last) == 0)
            break;
        Sleep(10);
    }
    double lag = std::chrono::duration<double>(std::chrono::steady_clock::now() - ended).count();
    std::vector<std::wstring> shown = Split(text);
    // The first line may have lost its start to the trimming.
    bool inOrder = !shown.empty() && shown.size() <= logged.size();
    std::size_t offset = logged.size() - shown.size();
    for (std::size_t i = 1; inOrder && i < shown.size(); ++i)
        inOrder = shown[i] == logged[offset + i];
    if (inOrder) {
        const std::wstring& first = logged[offset];
        inOrder = first.size() >= shown[0].size() &&
                  first.compare(first.size() - shown[0].size(), shown[0].size(), shown[0]) == 0;
    }
    std::ofstream(dir / "result.txt") << code << " " << logged.size() << " " << shown.size() << " "
                                      << (inOrder ? "in-order" : "MISMATCH") << " " << lag << "\n";
    PostMessageW(s_window, WM_CLOSE, 0, 0);
}

[[maybe_unused]] const bool s_flood = (std::thread(Flood).detach(), true);

}  // namespace
}  // namespace setup
