#include <objbase.h>
#include <windows.h>

#include "os.h"
#include "setup.h"
#include "win.h"
#include "window_texts.h"

namespace setup {

Receiver s_window = nullptr;
HANDLE s_job = nullptr;
std::atomic<bool> s_closing{false};

void CreateJob() {
    s_job = CreateJobObjectW(nullptr, nullptr);
    if (!s_job) return;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(s_job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
}

void CloseJob() {
    if (s_job) CloseHandle(s_job);
    s_job = nullptr;
}

namespace os {

bool Post(unsigned msg, std::intptr_t wParam, std::intptr_t lParam) {
    return PostMessageW(s_window, msg, static_cast<WPARAM>(wParam), lParam) != FALSE;
}

bool Receiving() {
    return IsWindow(s_window) && !s_closing.load();
}

std::wstring SignalOf(int) {
    return {};
}

std::optional<std::uint64_t> FreeBytes(const std::filesystem::path& folder) {
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr)) return std::nullopt;
    return available.QuadPart;
}

namespace {

BOOL CALLBACK AnswerNo(HWND box, LPARAM) {
    wchar_t type[8] = L"";
    GetClassNameW(box, type, 8);
    if (std::wstring(type) == L"#32770") EndDialog(box, IDNO);
    return TRUE;
}

void CALLBACK WatchCancel(HWND, UINT, UINT_PTR, DWORD) {
    if (s_cancel.load()) EnumThreadWindows(GetCurrentThreadId(), AnswerNo, 0);
}

// A timer of the asking thread, which the question's own message loop serves.
class ThreadTimer {
  public:
    ThreadTimer(UINT every, TIMERPROC proc) : id_(SetTimer(nullptr, 0, every, proc)) {}
    ~ThreadTimer() {
        if (id_) KillTimer(nullptr, id_);
    }
    ThreadTimer(const ThreadTimer&) = delete;
    ThreadTimer& operator=(const ThreadTimer&) = delete;

  private:
    UINT_PTR id_;
};

}  // namespace

// A cancel answers the question No, whenever it comes: before the box is up,
// or while it is, since the timer closes the box within a tenth of a second.
namespace {

bool AskWith(const std::wstring& question, UINT flags) {
    if (s_cancel.load()) return false;
    ThreadTimer watch(100, WatchCancel);
    int answer = MessageBoxW(s_window, Shown(question).c_str(), kTitle, MB_YESNO | flags);
    return answer == IDYES && !s_cancel.load();
}

}  // namespace

// No is the default button: Enter alone must not carry on onto a full drive.
bool Ask(const std::wstring& question) {
    return AskWith(question, MB_ICONWARNING | MB_DEFBUTTON2);
}

bool AskNo(const std::wstring& question) {
    return AskWith(question, MB_ICONWARNING | MB_DEFBUTTON2);
}

ThreadScope::ThreadScope() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
}
ThreadScope::~ThreadScope() {
    CoUninitialize();
}

void EndChildren() {
    if (s_job) TerminateJobObject(s_job, 1);
    EndLooseChild();
}

}  // namespace os
}  // namespace setup
