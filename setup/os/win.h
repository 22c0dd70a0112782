// Windows-only state shared by the window and the platform files.
#pragma once

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <string>

namespace setup {

// The job object that holds every child process, kill-on-close.
extern HANDLE s_job;
// Set by the window while it closes: from then on nobody reads the queue.
extern std::atomic<bool> s_closing;

// Creates s_job; called once at start-up before any run.
void CreateJob();
// Closes s_job, which kills any child still in it.
void CloseJob();

namespace os {
// A full path in its \\?\ form (\\?\C:\..., \\?\UNC\server\...), which no
// 260-character limit applies to, whatever the system's own setting says; a
// relative path as it is, for the system to read against the current folder.
std::wstring Long(const std::filesystem::path& path);
// A path in that form as the user knows it.
std::wstring Shown(const std::wstring& path);
// The system's words for an error code, without the closing full stop; the
// texts of `module` first when one is given. Empty when it has none.
std::wstring SystemWords(DWORD code, HMODULE module = nullptr);
// Ends the child that Run has running outside the job, if there is one.
void EndLooseChild();
// The one place programs are started: CreateProcessW with no application
// name, no security attributes and the caller's environment.
// s_createProcess, when set, stands in for CreateProcessW: tests make it
// refuse as an application control policy does, which Wine never does.
extern decltype(&CreateProcessW) s_createProcess;
bool Create(std::wstring& line, const wchar_t* folder, BOOL inherit, DWORD flags,
            STARTUPINFOW* startup, PROCESS_INFORMATION* started);
// Whether the last failed Create was an application control policy's refusal.
bool PolicyRefused();
}  // namespace os

}  // namespace setup
