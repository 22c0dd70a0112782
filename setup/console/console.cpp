// The console front end: the same run as the window, driven from a terminal.
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <thread>

#include "cli.h"
#include "console_view.h"
#include "download_line.h"
#include "http.h"
#include "mailbox.h"
#include "os.h"
#include "setup.h"
#include "version.h"

using namespace setup;

namespace {

volatile sig_atomic_t s_interrupted = 0;
volatile sig_atomic_t s_resized = 0;

void OnInterrupt(int) {
    s_interrupted = 1;
}

void OnResize(int) {
    s_resized = 1;
}

// --yes answers every question of the run; setup.log says which it answered.
bool AnswerYes(const std::wstring& question) {
    Log(L"Answered Yes (--yes): " + question);
    return true;
}

bool AnswerNo(const std::wstring&) {
    return false;
}

fs::path DefaultInstallDir() {
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : ".") / "Corvane-Recomp";
}

int Columns() {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}

// Marking follows https://no-color.org: any non-empty NO_COLOR turns it off.
bool Color() {
    const char* noColor = std::getenv("NO_COLOR");
    return isatty(STDERR_FILENO) && !(noColor && *noColor);
}

// What the command line asks for before any run: 0 or 2 to end with, or
// nothing when a run is to start.
std::optional<int> Settled(const Options& options) {
    if (options.help) {
        std::fputs(Narrow(Shown(Usage())).c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("corvane-setup %s\n", kSetupVersion);
        return 0;
    }
    if (!options.error.empty()) {
        std::fprintf(stderr, "%s\n", Narrow(Shown(Say(L"{} Try --help.", options.error))).c_str());
        return 2;
    }
    // A path that isn't there is named as the run would read it; help wouldn't help.
    std::wstring mistake = PathMistake(options.choices.source, options.update);
    if (mistake.empty()) return std::nullopt;
    std::fprintf(stderr, "%s\n", Narrow(Shown(mistake)).c_str());
    return 2;
}

void Listen() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    action.sa_handler = OnResize;
    sigaction(SIGWINCH, &action, nullptr);
}

// Shows one message of the run; true for its last.
bool Show(ConsoleView& view, const Message& m, bool& succeeded) {
    switch (m.msg) {
        case kMsgLog: {
            // A block of lines, each ended by a line feed: shown in one go.
            auto lines = TakeText(m.lParam);
            if (!lines->empty()) lines->pop_back();
            view.Line(*lines);
            return false;
        }
        case kMsgStatus:
            view.Status(*TakeText(m.lParam), m.wParam == kDownloadProgress);
            return false;
        case kMsgProgress:
            view.Progress(static_cast<int>(m.wParam), m.lParam);
            return false;
        case kMsgDone: {
            succeeded = m.wParam == 1;
            Outcome end = ReadOutcome(*TakeText(m.lParam));
            view.Done(end.message, static_cast<int>(m.wParam), end.cause, PathText(end.log),
                      succeeded ? PathText(s_installed) : std::wstring());
            return true;
        }
    }
    return false;
}

// Shows the run until it ends; its exit code.
int Follow(Mailbox& box, ConsoleView& view) {
    bool succeeded = false, cancelled = false;
    for (bool done = false; !done;) {
        // Every Ctrl-C cancels again, as the window's Cancel button does.
        if (s_interrupted) {
            s_interrupted = 0;
            cancelled = true;
            Cancel();
            view.Interrupted();
            view.Status(T(L"Cancelling..."));
        }
        if (s_resized) {
            s_resized = 0;
            view.SetWidth(Columns());
        }
        auto m = box.Pop(std::chrono::milliseconds(100));
        if (!m) {
            view.Tick();
            continue;
        }
        done = Show(view, *m, succeeded);
    }
    return succeeded ? 0 : cancelled ? 130 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    // Nothing asked for: the usage, and nothing made in a default folder.
    UseLanguage(Pick(os::UiLanguages()));
    if (argc < 2) {
        std::fputs(Narrow(Shown(Usage())).c_str(), stderr);
        return 2;
    }
    std::vector<std::wstring> args;
    // As paths: a file name's bytes reach the file system as they came.
    for (int i = 1; i < argc; ++i) args.push_back(PathText(argv[i]));
    Options options = ParseArgs(args, DefaultInstallDir());
    if (!options.language.empty()) UseLanguage(options.language);
    if (auto code = Settled(options)) return *code;
    if (options.yes) s_ask = AnswerYes;
    // Nobody is asked whether an odd image will do: --yes says it will.
    s_askAnyway = options.yes ? AnswerYes : AnswerNo;
    s_downloadText = TimedDownloadText;
    Listen();

    Mailbox box;
    s_window = &box;
    ConsoleView view(isatty(STDOUT_FILENO), options.verbose);
    view.SetWidth(Columns());
    view.SetColor(Color());
    std::thread worker(Install, options.choices);
    int code = Follow(box, view);
    box.Close();
    worker.join();
    if (code == 0 && !options.update.empty()) os::Launch(s_installed);
    return code;
}
