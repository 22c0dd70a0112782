#include <poll.h>
#include <sys/ioctl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "cli.h"
#include "mailbox.h"
#include "os.h"
#include "setup.h"

namespace setup {

Receiver s_window = nullptr;

namespace os {

bool Post(unsigned msg, std::intptr_t wParam, std::intptr_t lParam) {
    return s_window != nullptr && s_window->Push({msg, wParam, lParam});
}

bool Receiving() {
    return s_window != nullptr && s_window->Open();
}

std::optional<std::uint64_t> FreeBytes(const std::filesystem::path& folder) {
    struct statvfs info {};
    if (statvfs(folder.c_str(), &info) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

bool Ask(const std::wstring& question) {
    // Without a terminal nobody can answer, and the careful answer is no;
    // the output says so, and how a script answers yes.
    if (!isatty(STDIN_FILENO)) {
        std::fprintf(stderr, "%s\n",
                     Narrow(Shown(Say(L"{} No (--yes answers Yes)", question))).c_str());
        return false;
    }
    winsize size{};
    int columns = ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 80;
    std::fprintf(stderr, "\n%s ", Narrow(Wrap(Shown(question) + L" [y/N]", columns)).c_str());
    std::fflush(stderr);
    // The terminal is watched a tenth of a second at a time, so that a cancel
    // answers No at once instead of waiting for Enter.
    std::string answer;
    for (;;) {
        if (s_cancel.load()) return false;
        pollfd input{STDIN_FILENO, POLLIN, 0};
        int ready = poll(&input, 1, 100);
        if (ready < 0 && errno != EINTR) return false;
        if (ready <= 0) continue;
        char c = 0;
        ssize_t got = read(STDIN_FILENO, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0 || c == '\n') break;
        answer += c;
    }
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y') && !s_cancel.load();
}

bool AskNo(const std::wstring& question) {
    return Ask(question);  // [y/N]: Enter already answers no
}

std::wstring SignalOf(int exitCode) {
    // Run reports a program ended by a signal as 128 plus the signal's number, as shells do.
    int signal = exitCode - 128;
    if (signal <= 0 || signal > 64) return {};
    std::string name = strsignal(signal);
    if (!name.empty()) name[0] = static_cast<char>(std::tolower(name[0]));
    return L"signal " + std::to_wstring(signal) + L" (" + Widen(name) + L")";
}

ThreadScope::ThreadScope() = default;
ThreadScope::~ThreadScope() = default;

}  // namespace os
}  // namespace setup
