// The setup window: its controls, its state and the functions that act on
// them. Everything here runs on the main thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

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

// Not resizable, no maximize box.
constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr int kClientWidth = 640;
constexpr int kShortHeight = 422;
constexpr int kTallHeight = 660;

extern HFONT s_font;
extern HFONT s_titleFont;
extern bool s_showLog;
extern bool s_updateMode;
extern std::atomic<bool> s_busy;
extern std::thread s_worker;

// Controls.
void CreateControls(int first, int last, const std::wstring& installDir);
HWND Item(int id);
std::wstring Text(int id);
void SetText(int id, const std::wstring& text);
bool Checked(int id);
void Enable(int id, bool on);
void Show(int id, bool on);
int Ask(const std::wstring& text, UINT flags);  // a message box owned by the window

// Size and the detail log.
void Layout();
void Centre();
void ApplyUpdateLook();

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
void EndRun(bool succeeded, const std::wstring& message);
void Play();
void Close();

LRESULT CALLBACK WndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

}  // namespace setup
