// The setup window: its controls, its state and the functions that act on
// them. Everything here runs on the main thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "setup.h"

namespace setup {

// Control ids.
constexpr int kIdSource = 100;
constexpr int kIdSourceBrowse = 101;
constexpr int kIdInstallDir = 102;
constexpr int kIdInstallDirBrowse = 103;
constexpr int kIdStart = 104;
constexpr int kIdStatus = 105;
constexpr int kIdProgress = 106;
constexpr int kIdLog = 107;
constexpr int kIdShortcut = 108;
constexpr int kIdPlay = 109;
constexpr int kIdSourceIso = 110;
constexpr int kIdSourceFolder = 111;
constexpr int kIdFreeSpace = 112;
constexpr int kIdDeleteImage = 113;
constexpr int kIdDetails = 114;
constexpr int kIdSourceGroup = 115;
constexpr int kIdSourceNote = 116;
constexpr int kIdSpaceNote = 117;
constexpr int kIdViewLog = 118;

inline constexpr wchar_t kWindowClass[] = L"CorvaneSetup";

// Not resizable, no maximize box.
constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// Client sizes at 96 DPI; every size and place is scaled to the window's DPI.
constexpr int kClientWidth = 640;
constexpr int kShortHeight = 434;
constexpr int kTallHeight = 672;
// The detail log's size at 96 DPI, and the least height it keeps on a small screen.
constexpr int kLogWidth = 616;
constexpr int kLogHeight = 228;
constexpr int kLogShortest = 16;

// The start button's faces; "&" marks the access key.
inline constexpr wchar_t kInstallButton[] = L"&Install";
inline constexpr wchar_t kUpdateButton[] = L"&Update";
inline constexpr wchar_t kCancelButton[] = L"&Cancel";
inline constexpr wchar_t kShowDetails[] = L"Show de&tails";
inline constexpr wchar_t kHideDetails[] = L"Hide de&tails";
inline constexpr wchar_t kReady[] = L"Ready.";

extern UINT s_dpi;  // the window's DPI; 96 is the unscaled layout
extern bool s_showLog;
extern bool s_updateMode;
extern bool s_quiet;       // no message box; the window closes when a run ends
extern bool s_unattended;  // the choices came from the command line
extern bool s_yes;         // every question is answered yes
extern int s_exitCode;     // the process's: 0 success, 1 failure or cancel
extern std::atomic<bool> s_busy;
extern std::thread s_worker;

// A length at 96 DPI, at the window's DPI.
int Scale(int length);

// What only newer systems have, looked up at run time with a fallback.
UINT WindowDpi(HWND window);
NONCLIENTMETRICSW MetricsFor(UINT dpi);
SIZE FrameFor(SIZE client, UINT dpi);  // the window's size around that client area

// Controls.
void CreateControls(int first, int last, const std::wstring& installDir);
void MakeFonts();  // the fonts for s_dpi, given to every control created
void Place();      // every control at its place for s_dpi
void DpiChanged(UINT dpi, const RECT& suggested);
SIZE FrameSize(UINT dpi);
HWND Item(int id);
std::wstring Text(int id);
void SetText(int id, const std::wstring& text);
bool Checked(int id);
void Enable(int id, bool on);
void Show(int id, bool on);
int Ask(const std::wstring& text, UINT flags);  // a message box owned by the window
// A question whose buttons name what each answer does; the id of the one
// chosen. Esc answers `byDefault`. Links: the answers are long, one a line.
struct Reply {
    int id;
    const wchar_t* label;
};
int Choose(const std::wstring& text, const std::vector<Reply>& answers, int byDefault,
           bool links = false);
// Answers the question open now, if any, with that button.
void Withdraw(int id);

// Size and the detail log.
void Layout();
void Centre();
// Keeps the window inside its monitor's work area after it has grown or
// moved: up first, then with a shorter log.
void KeepOnScreen();
// The update look while the install folder holds the game's files, the
// first-install look otherwise; switches only when the folder changes sides.
void FollowFolder();
void ShowInstalled(bool installed);
// The update look (the source controls disabled under "Not needed: ...", the
// button Update) or the first-install look, whatever the status line says.
void ShowLook(bool installed);
extern bool s_installedLook;
// The same for a folder being typed (folder_check.cpp): checked once typing
// pauses, off the window's thread.
void FollowTyping();
void CheckTyped();                                // when the pause timer fires
void TypedChecked(WPARAM check, bool installed);  // the answer of a check
constexpr UINT_PTR kIdCheckTimer = 1;
constexpr UINT kMsgTypedChecked = 0x8010;  // WM_APP + 16

// Choosing the source and the folder.
void BrowseSource();
void BrowseDir();
std::wstring PickFolder();
void UpdateSourceChoice();
void UpdateFreeSpace();
LRESULT GreyNote(HDC dc);

// Run control.
void StartOrCancel();
void SetBusy(bool busy);
void SetProgress(int value);
void AppendLog(const std::wstring& lines);
// `result` is kMsgDone's wParam: 1 success, 0 failure, or kDeclined*.
void EndRun(int result, const Outcome& end);
// The failed run's box, with the way to setup.log and the install folder.
void ShowFailure(const Outcome& end, const fs::path& installDir);
void Play();
// After a run, the way to its setup.log beside the status until the next
// run; an empty path takes it away.
void OfferLog(const fs::path& log);
void ViewLog();
void FitStatus();  // the status line's width, short of the View log button when it shows
void Close();
void RunStatus(const std::wstring& text);  // a status line the run posted
// Progress the run posted: the figure and kMsgProgress's lParam (see Steps).
void RunProgress(int value, std::intptr_t steps);
void Escape();  // Esc: asks to stop a run (No by default); closes the window when idle
// Flashes the taskbar button; the test build records it. Null: FlashWindowEx.
extern BOOL(WINAPI* s_flash)(PFLASHWINFO);
void Taskbar(int state, int value);  // the taskbar button's progress (TBPF_*)
void EndTaskbar();                   // before COM goes

// One window per session: false when another setup window was there first,
// which ActivateFirst then brings to the front.
bool FirstWindow();
void ActivateFirst();
// Whether the window there first has that install folder.
bool FirstWorksIn(const std::wstring& folder);

LRESULT CALLBACK WndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

}  // namespace setup
