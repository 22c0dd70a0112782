// Starting, cancelling and ending a run, the busy state, the progress bar,
// the detail log, Play and closing the window.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>
#include <shobjidl.h>

#include <algorithm>
#include <cwchar>
#include <system_error>

#include "install_dir.h"
#include "os.h"
#include "source_check.h"
#include "step_clock.h"
#include "win.h"
#include "window.h"
#include "window_texts.h"

namespace setup {

std::atomic<bool> s_busy{false};
std::thread s_worker;
int s_exitCode = 0;
BOOL(WINAPI* s_flash)(PFLASHWINFO) = nullptr;

namespace {

// Where the run is, for the question about stopping it; and whether that
// question is open.
Stage s_stage = Stage::kStart;
bool s_asking = false;

// The last run's setup.log, which View log opens.
fs::path s_lastLog;

// The run's last status, and the build's pace and bar in the run's stage.
std::wstring s_runStatus;
StepClock s_clock;
RunBar s_bar;

// Answers "Keep going" to the question about stopping the run that is still
// open when the run ends: it asks about nothing by then, and the run's own
// last box takes its place. Any other box is left alone.
void WithdrawQuestion() {
    if (s_asking) Withdraw(IDNO);
}

// The one question before a run is stopped, whichever way the user asks
// (Cancel, Esc, closing the window): what stopping keeps, "Keep going" by
// default, so that no single key throws a long run away. True for "Stop".
bool AskToStop(bool closing) {
    std::wstring question = StopQuestion(s_stage);
    // The last steps can't be stopped; the window can only close after them.
    if (question.empty() && closing) question = kCloseAfterQuestion;
    if (question.empty() || s_asking) return false;
    s_asking = true;
    const wchar_t* stop = question == kCloseAfterQuestion ? T(L"&Close when done") : T(L"&Stop");
    int answer = Choose(question, {{IDYES, stop}, {IDNO, T(L"&Keep going")}}, IDNO);
    s_asking = false;
    return answer == IDYES;
}

// The log keeps below about this many characters, dropping its oldest part.
constexpr int kLogLimit = 400000;
constexpr int kLogDrop = 100000;

// The start's checks; false when one of them stops it.
bool Check(const std::wstring& source, const std::wstring& installDir, Choices& choices) {
    if (installDir.empty()) {
        Ask(kNoInstallDir, MB_ICONINFORMATION);
        return false;
    }
    if (NonEnglish(installDir) && Ask(kNonEnglishQuestion, MB_YESNO | MB_ICONWARNING) != IDYES)
        return false;
    if (Checked(kIdSourceFolder) && !source.empty()) {
        std::error_code ec;
        if (!fs::is_directory(fs::status(ToPath(source), ec))) {
            Ask(kNotAFolder, MB_ICONINFORMATION);
            return false;
        }
    }
    // A source that isn't there ends the run before it has made anything:
    // nothing is made. An install holding the game's files needs none.
    if (!Exists(LayoutOf(choices.installDir).xex)) {
        Failed missing = MissingSource(choices.source);
        std::error_code ec;
        if (missing.message.empty() && Checked(kIdSourceIso) && !source.empty() &&
            fs::is_directory(ToPath(source), ec))
            missing = SourceProblem(choices.source, true);
        if (!missing.message.empty()) {
            Ask(missing.message, MB_ICONINFORMATION);
            return false;
        }
    }
    // Asked of a user at the window only: the command line's option is its answer.
    if (!choices.deleteImage || s_updateMode || s_unattended) return true;
    int answer = Choose(DeleteQuestion(source),
                        {{IDYES, T(L"Install and &delete the image afterwards")},
                         {IDNO, T(L"Install and &keep the image")},
                         {IDCANCEL, T(L"Cancel")}},
                        IDNO, true);
    if (answer == IDNO) {
        choices.deleteImage = false;
        SendMessageW(Item(kIdDeleteImage), BM_SETCHECK, BST_UNCHECKED, 0);
    }
    return answer != IDCANCEL;
}

void Start() {
    if (s_worker.joinable()) s_worker.join();
    std::wstring source = Text(kIdSource);
    std::wstring mistake;
    std::wstring installDir = UsableInstallDir(Text(kIdInstallDir), mistake);
    if (!mistake.empty()) {
        Ask(mistake, MB_ICONINFORMATION);
        s_exitCode = 2;
        if (s_quiet) PostMessageW(s_window, WM_CLOSE, 0, 0);
        return;
    }
    // The folder the run uses is the one the window shows.
    if (installDir != Text(kIdInstallDir)) SetText(kIdInstallDir, installDir);
    Choices choices;
    choices.source = ToPath(source);
    choices.installDir = ToPath(installDir);
    choices.shortcut = Checked(kIdShortcut);
    choices.freeSpace = Checked(kIdFreeSpace);
    choices.deleteImage = Checked(kIdDeleteImage) && !Checked(kIdSourceFolder);
    if (!Check(source, installDir, choices)) {
        // Nobody is there to change the choices and try again.
        if (s_quiet) PostMessageW(s_window, WM_CLOSE, 0, 0);
        return;
    }
    s_exitCode = 1;  // until the run succeeds
    s_cancel.store(false);
    s_stage = Stage::kStart;
    s_clock = {};
    s_bar = {};
    OfferPlay(false);
    OfferLog({});
    SetFigures(L"");
    SetBusy(true);
    try {
        s_worker = std::thread(Install, std::move(choices));
    } catch (const std::system_error&) {
        SetBusy(false);
        Ask(kNoThread, MB_ICONWARNING);
    }
}

// Set when the user confirmed closing during a run: the window goes once the
// run has ended.
bool s_closeAtEnd = false;

// A run that ends while the window is behind others flashes its taskbar
// button until the user brings it to the front.
void Attention() {
    HWND front = GetForegroundWindow();
    if (front && GetAncestor(front, GA_ROOTOWNER) == s_window) return;
    FLASHWINFO flash{sizeof flash, s_window, FLASHW_TRAY | FLASHW_TIMERNOFG, 0, 0};
    (s_flash ? s_flash : FlashWindowEx)(&flash);
}

// The user answered No to one of the run's questions, before anything was
// made: no failure to report, only what to change, and the field to change.
void Declined(int result, const Outcome& end) {
    SetStatus(end.message);
    SetFigures(L"");
    SetBusy(false);
    ShowLook(Installed(ToPath(Text(kIdInstallDir))));
    SetProgress(0);
    Taskbar(TBPF_NOPROGRESS, 0);
    s_exitCode = 1;
    HandedEnd();
    if (s_quiet) {
        PostMessageW(s_window, WM_CLOSE, 0, 0);
        return;
    }
    HWND field = Item(result == kDeclinedSpace ? kIdInstallDir : kIdSource);
    SetFocus(field);
    SendMessageW(field, EM_SETSEL, 0, -1);
}

// The figures of the work being stopped would read as still going.
void Stopping() {
    SetFigures(L"");
    SetStatus(T(L"Cancelling..."));
}

void Destroy() {
    // Nobody reads the queue from here on: a post still to come gives up
    // instead of waiting for room.
    s_closing.store(true);
    if (s_worker.joinable()) s_worker.join();
    DestroyWindow(s_window);
}

}  // namespace

void StartOrCancel() {
    if (!s_busy.load()) return Start();
    // Once stopping, again is harmless: it ends what the run started since.
    if (!s_cancel.load() && !AskToStop(false)) return;
    if (!s_busy.load()) return;  // the run ended while the question was open
    Cancel();
    Stopping();
}

void SetBusy(bool busy) {
    s_busy.exchange(busy);
    for (int id : {kIdSource, kIdSourceBrowse, kIdInstallDir, kIdInstallDirBrowse, kIdShortcut,
                   kIdFreeSpace, kIdSourceIso, kIdSourceFolder})
        Enable(id, !busy);
    Enable(kIdDeleteImage, !busy && !Checked(kIdSourceFolder));
    SetText(kIdStart, busy ? kCancelButton : kInstallButton);
    // During a run Enter and Space must not reach Cancel: it is no default
    // button and gives the focus to the details button.
    bool byDefault = !busy && !IsWindowVisible(Item(kIdPlay));
    SendMessageW(Item(kIdStart), BM_SETSTYLE, byDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    HWND focus = GetFocus();
    if (busy && (!focus || focus == Item(kIdStart)) && GetActiveWindow() == s_window)
        SetFocus(Item(kIdDetails));
    // A long build must not be cut short by the machine going to sleep.
    SetThreadExecutionState(busy ? ES_CONTINUOUS | ES_SYSTEM_REQUIRED : ES_CONTINUOUS);
    if (busy) Taskbar(TBPF_NORMAL, 0);
}

void SetProgress(int value) {
    HWND bar = Item(kIdProgress);
    LONG_PTR style = GetWindowLongPtrW(bar, GWL_STYLE);
    bool marquee = (style & PBS_MARQUEE) != 0;
    if (value < 0) {
        if (s_busy.load()) Taskbar(TBPF_INDETERMINATE, 0);
        if (marquee) return;
        SetWindowLongPtrW(bar, GWL_STYLE, style | PBS_MARQUEE);
        SendMessageW(bar, PBM_SETMARQUEE, 1, 30);
        return;
    }
    value = std::min(value, 100);
    if (marquee) {
        SendMessageW(bar, PBM_SETMARQUEE, 0, 0);
        SetWindowLongPtrW(bar, GWL_STYLE, style & ~static_cast<LONG_PTR>(PBS_MARQUEE));
        // The bar repaints only for a new position: at the one it had before
        // the marquee, the marquee's last picture would stay.
        InvalidateRect(bar, nullptr, TRUE);
    }
    SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(value), 0);
    if (s_busy.load()) Taskbar(TBPF_NORMAL, value);
}

void AppendLog(const std::wstring& lines) {
    // The block goes in with one replacement, trimmed exactly as appending it
    // line by line would: each line first drops the oldest kLogDrop
    // characters while the log is over kLogLimit.
    std::wstring text;
    text.reserve(lines.size() + lines.size() / 16);
    HWND log = Item(kIdLog);
    int old = GetWindowTextLengthW(log);
    long long n = old, drop = 0;
    for (std::size_t at = 0; at < lines.size();) {
        std::size_t end = lines.find(L'\n', at);
        if (end == std::wstring::npos) end = lines.size();
        if (n > kLogLimit) n -= kLogDrop, drop += kLogDrop;
        text.append(lines, at, end - at).append(L"\r\n");
        n += static_cast<long long>(end - at) + 2;
        at = end + 1;
    }
    if (drop > 0) {
        SendMessageW(log, EM_SETSEL, 0, static_cast<LPARAM>(std::min<long long>(drop, old)));
        SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
        // Lines that would have gone again before the block's end never go in.
        if (drop > old) text.erase(0, static_cast<std::size_t>(drop - old));
    }
    int at = GetWindowTextLengthW(log);
    SendMessageW(log, EM_SETSEL, static_cast<WPARAM>(at), at);
    SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

void EndRun(int result, const Outcome& end) {
    if (s_closeAtEnd) {
        // "Close when done" leaves the outcome to the exit code.
        s_exitCode = result == 1 ? 0 : 1;
        HandedEnd();
        return Destroy();
    }
    WithdrawQuestion();
    if (result == kDeclinedSpace || result == kDeclinedSource) return Declined(result, end);
    bool succeeded = result == 1;
    // Stopping was the user's choice: no failure to report, nothing to open.
    bool cancelled = !succeeded && end.message == kCancelled;
    OfferLog(end.log);
    const std::wstring& message = end.message;
    // A long failure would be cut mid-word there; the box has all of it. Its
    // first sentence is the translation's, shown as it is.
    std::wstring shown = Shown(succeeded || !cancelled ? message : kCancelledNote);
    ShowStatus(succeeded || cancelled ? shown : FirstSentence(shown));
    SetFigures(L"");
    SetBusy(false);
    // A run that got as far as the game's files leaves an install to update;
    // a failed update keeps the game the earlier build made playable.
    FollowFolder(false);
    SetProgress(succeeded ? 100 : 0);
    s_exitCode = succeeded ? 0 : 1;
    HandedEnd();  // before any box: the start that handed the run over is waiting
    Attention();
    // A cancel is the user's own doing, not an error to flag.
    Taskbar(succeeded || s_cancel.load() ? TBPF_NOPROGRESS : TBPF_ERROR, 100);
    // The outcome is in setup.log; the window has nothing more to show.
    if (s_quiet) {
        if (succeeded && s_updateMode) Play();
        PostMessageW(s_window, WM_CLOSE, 0, 0);
        return;
    }
    if (cancelled) return FocusDefault();
    if (succeeded) {
        SetText(kIdStart, kUpdateButton);
        OfferPlay(true);
        FocusDefault();
        if (s_updateMode)
            Play();
        else
            Ask(message, MB_ICONINFORMATION);
        return;
    }
    if (!s_showLog) {
        s_showLog = true;
        Layout();
    }
    FocusDefault();
    ShowFailure(end, ToPath(Text(kIdInstallDir)));
}

void OfferLog(const fs::path& log) {
    s_lastLog = log;
    Show(kIdViewLog, !log.empty());
    FitStatus();
}

void ViewLog() {
    if (!s_lastLog.empty()) ShowLogFile(s_window, s_lastLog);
}

void OfferPlay(bool on) {
    Show(kIdPlay, on);
    SendMessageW(Item(kIdPlay), BM_SETSTYLE, on ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    if (!s_busy.load())
        SendMessageW(Item(kIdStart), BM_SETSTYLE, on ? BS_PUSHBUTTON : BS_DEFPUSHBUTTON, TRUE);
}

void Play() {
    // A launcher that can't be started leaves the window as it is; one that
    // Windows' application control refused is named, since nothing else shows.
    bool blocked = false;
    if (os::Launch(s_installed, &blocked))
        PostMessageW(s_window, WM_CLOSE, 0, 0);
    else if (blocked)
        Ask(BlockedText(s_installed), MB_ICONERROR);
}

void RunStatus(const std::wstring& text, bool download) {
    if (s_cancel.load()) return;  // "Cancelling..." stays until the run has ended
    s_stage = StageOf(text, s_stage);
    // A download's figures, its speed and time left most of all, get a line of
    // their own: the stage's words before them are what may be cut.
    std::size_t colon = download ? text.find(L": ") : std::wstring::npos;
    s_runStatus = text.substr(0, colon);
    // Each stage starts without the last one's figures: a download's speed
    // left under the extraction would read as a stuck download.
    SetFigures(colon != std::wstring::npos ? text.substr(colon + 2) : L"");
    SetStatus(Staged(s_stage, s_runStatus));
}

void RunProgress(int value, std::intptr_t steps) {
    // The half hour of a build says how far it is, and soon how long it has left.
    if (steps > 0) SetFigures(s_clock.Text(steps, StepClock::Clock::now()));
    // The extraction's own figure: the bar's is the whole run's.
    if (steps == kBuildPercent && value >= 0)
        SetFigures(std::to_wstring(std::min(value, 100)) + L" %");
    SetProgress(s_bar.Figure(value, steps));
}

void Escape() {
    if (!s_busy.load()) {
        PostMessageW(s_window, WM_CLOSE, 0, 0);
        return;
    }
    if (!s_cancel.load()) StartOrCancel();
}

void Close() {
    if (s_busy.load()) {
        if (s_closeAtEnd || !AskToStop(true)) return;
    }
    Cancel();
    // The run may have ended while the question was open.
    if (!s_busy.load()) return Destroy();
    // Waiting for the run here would freeze the window, and would hold up the
    // run's own question, which needs this thread to appear at all. The run
    // ends soon after the cancel, and its last message closes the window.
    s_closeAtEnd = true;
    Stopping();
}

}  // namespace setup
