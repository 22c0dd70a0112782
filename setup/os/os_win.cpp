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

std::optional<std::uint64_t> FreeBytes(const std::filesystem::path& folder) {
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr)) return std::nullopt;
    return available.QuadPart;
}

bool Ask(const std::wstring& question) {
    return MessageBoxW(s_window, question.c_str(), kTitle, MB_YESNO | MB_ICONWARNING) == IDYES;
}

ThreadScope::ThreadScope() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
}
ThreadScope::~ThreadScope() {
    CoUninitialize();
}

void EndChildren() {
    if (s_job) TerminateJobObject(s_job, 1);
}

}  // namespace os
}  // namespace setup
