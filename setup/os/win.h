// Windows-only state shared by the window and the platform files.
#pragma once

#include <windows.h>

#include <atomic>

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
// Ends the child that Run has running outside the job, if there is one.
void EndLooseChild();
}  // namespace os

}  // namespace setup
