#include <fstream>
#include <mutex>

#include "setup.h"

namespace setup {

std::atomic<bool> s_cancel{false};

namespace {
std::ofstream s_logFile;
std::mutex s_logLock;
// Lines logged before setup.log can be opened, written to it once it is;
// lost with the run when it never is.
bool s_holding = false;
std::string s_held;
}  // namespace

void Log(const std::wstring& line) {
    {
        std::lock_guard<std::mutex> hold(s_logLock);
        // A closed stream, one whose open failed, or one that hit a write
        // error has its fail bit set: the line then reaches the window only.
        if (!s_logFile.fail()) {
            s_logFile << Narrow(line) << '\n';
            s_logFile.flush();
        } else if (s_holding) {
            s_held += Narrow(line) + '\n';
        }
    }
    PostText(kMsgLog, line + L'\n');
}

void WriteLog(std::string_view bytes) {
    if (bytes.empty()) return;
    std::lock_guard<std::mutex> hold(s_logLock);
    if (s_logFile.fail()) return;
    s_logFile.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    s_logFile.flush();
}

void Status(const std::wstring& text) {
    Log(L"== " + text);
    PostText(kMsgStatus, text);
}

void Note(const std::wstring& text, bool beside) {
    if (beside) return Log(text);
    Status(text);
}

void Fail(const std::wstring& message, const std::wstring& cause) {
    throw Failed{message, cause};
}

void CheckCancel() {
    if (s_cancel.load()) Fail(kCancelled);
}

bool OpenLog(const fs::path& installDir) {
    std::lock_guard<std::mutex> hold(s_logLock);
    if (s_logFile.is_open()) s_logFile.close();
    s_logFile.clear();
    // Text mode on purpose: on Windows every line feed reaches the disk as CR LF.
    s_logFile.open(LayoutOf(installDir).log, std::ios::out | std::ios::app);
    if (s_logFile.is_open()) s_logFile << s_held << std::flush;
    s_held.clear();
    s_holding = false;
    return s_logFile.is_open();
}

void HoldLog() {
    std::lock_guard<std::mutex> hold(s_logLock);
    // Closed, but a stream never opened has no fail bit yet.
    s_logFile.setstate(std::ios::failbit);
    s_holding = true;
    s_held.clear();
}

void CloseLog() {
    std::lock_guard<std::mutex> hold(s_logLock);
    s_logFile.close();
    s_logFile.setstate(std::ios::failbit);
    s_holding = false;
    s_held.clear();
}

}  // namespace setup
