// Drives the real setup window from another process, as a user would: starts
// the program, finds its window, reads and sets controls, presses buttons,
// answers its message boxes and asks for screenshots.
#pragma once

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace setup::test {

namespace fs = std::filesystem;

// A path the build handed over, as Wine shows it (the Linux root is drive Z:).
fs::path WinePath(std::string linuxPath);

// The real program, and a test build of it whose disk-space query can be held
// or answered from the environment (see held_disk.cpp).
fs::path SetupExe();
fs::path HeldExe();

using Env = std::vector<std::pair<std::wstring, std::wstring>>;

// Started with a screen of that DPI (the prefix's setting, which a program
// reads as it starts): set for the start only, then put back as it was.
struct Start {
    unsigned dpi = 0;    // 0: as the prefix has it
    bool window = true;  // false: the program isn't expected to open its window
    int font = 0;        // the message font's height in pixels, the same way; 0: as is
};

class App {
  public:
    explicit App(const std::vector<std::wstring>& args = {}, const Env& env = {},
                 const fs::path& exe = SetupExe(), Start start = {});
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    HWND window() const { return window_; }
    HWND Control(int id) const;
    std::wstring Text(int id) const;
    void SetText(int id, const std::wstring& text);
    bool Checked(int id) const;
    void Check(int id, bool on);
    bool Enabled(int id) const;
    bool Visible(int id) const;
    RECT Rect(int id) const;  // in the window's client pixels
    SIZE Client() const;
    RECT Frame() const;  // the window's rectangle on the screen

    // Presses a button without waiting for what it opens.
    void Click(int id);
    void Post(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    // Returns once the window has handled everything sent before.
    void Settle();

    // A message box owned by the window, once one is shown; nullptr after the limit.
    HWND Box(std::chrono::milliseconds limit = std::chrono::seconds(20)) const;
    // The one with this text, when several are open.
    HWND Box(const std::wstring& text,
             std::chrono::milliseconds limit = std::chrono::seconds(20)) const;
    static std::wstring BoxText(HWND box);
    static void Answer(HWND box, int button);  // IDOK, IDYES, IDNO

    bool Exited(std::chrono::milliseconds limit = std::chrono::seconds(20)) const;
    int ExitCode() const;  // once exited

    // The keyboard as the window's loop sees it: posted to the control with the
    // focus (the window when none has it). Their effect follows a moment later.
    HWND Focus() const;
    void Key(UINT vk);
    void AltKey(wchar_t letter);  // an access key

    // The window dragged to a screen of another DPI, with the system's suggested frame.
    void ChangeDpi(unsigned dpi, const RECT& suggested);

    // The test build's answers (see probe.cpp), read from the controls' properties.
    void Probe(int box) const;
    static std::intptr_t Probed(HWND control, const wchar_t* name);

    // The colours of a control's middle row of pixels, as painted on the screen.
    std::vector<COLORREF> Row(int id);

    // A picture of the screen under the build folder, named for the state it shows.
    void Shot(const std::string& name);

  private:
    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
};

// Every control shown has a name (as a screen reader asks), no two the same, a
// unique access key if any; Tab visits them in reading order.
void ExpectAccessible(const App& app);

// The note of a drive's free space: a size, then the sentence.
bool IsSpaceNote(const std::wstring& note);

// Polls until the condition holds or the limit passes.
bool Until(const std::function<bool()>& condition,
           std::chrono::milliseconds limit = std::chrono::seconds(20));

}  // namespace setup::test
