// The setup window: its controls, its state and the functions that act on
// them. Everything here runs on the main thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <optional>
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
constexpr int kIdFigures = 119;  // a download's or the build's figures, under the stage
constexpr int kIdSummary = 120;  // the choices in one line, while they are folded away

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
// How far the status, the buttons and the log move up while the choice
// groups are folded into the summary line.
constexpr int kFold = 264;

// The start button's faces; "&" marks the access key.
inline constexpr const wchar_t* kInstallButton = T(L"&Install");
inline constexpr const wchar_t* kUpdateButton = T(L"&Update");
inline constexpr const wchar_t* kCancelButton = T(L"&Cancel");
inline constexpr const wchar_t* kShowDetails = T(L"Show de&tails");
inline constexpr const wchar_t* kHideDetails = T(L"Hide de&tails");
inline constexpr const wchar_t* kReady = T(L"Ready.");

extern UINT s_dpi;   // the window's DPI; 96 is the unscaled layout
extern UINT s_zoom;  // the layout's scale: s_dpi, or more for a larger message font
extern bool s_showLog;
extern bool s_folded;  // the choices are folded into the summary line
extern bool s_updateMode;
extern bool s_quiet;       // no message box; the window closes when a run ends
extern bool s_unattended;  // the choices came from the command line
extern bool s_yes;         // every question is answered yes
extern int s_exitCode;     // the process's: 0 success, 1 failure or cancel
extern std::atomic<bool> s_busy;
extern std::thread s_worker;

// A length at 96 DPI, at the window's DPI and text size.
int Scale(int length);
// The layout's scale at that DPI for a message font of that height.
UINT ZoomFor(LONG height, UINT dpi);

// What only newer systems have, looked up at run time with a fallback.
UINT WindowDpi(HWND window);
NONCLIENTMETRICSW MetricsFor(UINT dpi);
SIZE FrameFor(SIZE client, UINT dpi);  // the window's size around that client area

// Controls.
void CreateControls(int first, int last, const std::wstring& installDir);
void MakeFonts();           // the fonts for s_dpi, given to every control created
void Place();               // every control at its place for s_dpi
void ShowChoices(bool on);  // the choice groups and what they hold
void DpiChanged(UINT dpi, const RECT& suggested);
void TextSized();  // the system's message font changed
SIZE FrameSize(UINT dpi);
HWND Item(int id);
std::wstring Text(int id);
// A control's text in the player's language (what the user types as it is).
void SetText(int id, const std::wstring& text);
void Put(int id, const std::wstring& shown);
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
// The monitor's work area; the test build answers for a smaller screen.
extern BOOL(WINAPI* s_monitorInfo)(HMONITOR, LPMONITORINFO);
// The update look while the install folder holds the game's files, the
// first-install look otherwise; switches only when the folder changes sides,
// and `say`s so on the status line.
void FollowFolder(bool say = true);
// Also offers Play for the install's launcher, when one was built. Nothing
// changes while a run goes: its controls stay the run's until it ends.
void ShowInstalled(bool installed, bool launcher, bool say = true);
// Play shown, and the default button, or neither.
void OfferPlay(bool on);
// The update look (the source controls disabled under "Not needed: ...", the
// button Update) or the first-install look, whatever the status line says.
void ShowLook(bool installed);
extern bool s_installedLook;
// The same for a folder being typed (folder_check.cpp): checked once typing
// pauses, off the window's thread.
void FollowTyping();
void CheckTyped();  // when the pause timer fires
// The answer of a check: kInstalled and kLauncher bits.
void TypedChecked(WPARAM check, LPARAM found);
constexpr LPARAM kInstalled = 1;
constexpr LPARAM kLauncher = 2;
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
// The status line's width, short of the View log button when it shows, and
// its place: over the figures' line while that has text.
void FitStatus();
void SetFigures(const std::wstring& text);
// The status line: one line of text, which wraps onto the figures' line
// while that is empty and it doesn't fit.
void SetStatus(const std::wstring& text);
// The same with a text already in the player's language.
void ShowStatus(const std::wstring& shown);
// Opens setup.log: with the program set up for .log files, else Notepad,
// else a box says where it is.
void ShowLogFile(HWND owner, const fs::path& log);
void Close();
// A status line the run posted; `download`: a download's, with its figures.
void RunStatus(const std::wstring& text, bool download);
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
// Whether the window there first has that install folder, and whether its
// run is going (asked with kMsgBusy, which a window answers 1 while busy).
bool FirstWorksIn(const std::wstring& folder);
bool FirstBusy();
constexpr UINT kMsgBusy = 0x8011;  // WM_APP + 17
// A start for the idle first window's folder hands its command line over:
// that window runs it, and the run's exit code comes back to the start's
// thread as kMsgHandedEnd. Nothing when the window didn't take it.
std::optional<int> HandOver(const std::vector<std::wstring>& args);
LRESULT TakeOver(const COPYDATASTRUCT& copy);  // WM_COPYDATA; 1 when taken
std::vector<std::wstring> Handed();            // at kMsgHanded: the command line taken
void RunHanded();                              // starts it as that start would have
void HandedEnd();                    // after a run, or a start that didn't run: the exit code back
constexpr UINT kMsgHanded = 0x8012;  // WM_APP + 18
constexpr UINT kMsgHandedEnd = 0x8013;  // WM_APP + 19

// For screen readers (access.cpp): names for the controls whose text doesn't
// say what they are and the live status, set once the controls exist and
// taken back as the window goes; Spoken after a control's text changed.
void Describe();
void Undescribe();
void Spoken(int id);
void Speak(int id);                 // kMsgSpeak: raises the live region's event
constexpr UINT kMsgSpeak = 0x8014;  // WM_APP + 20
// The focus on the button with the default ring, so that Enter does what it shows.
void FocusDefault();

LRESULT CALLBACK WndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

}  // namespace setup
