#include <poll.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

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
        std::fprintf(stderr, "%s No (--yes answers Yes)\n", Narrow(question).c_str());
        return false;
    }
    std::fprintf(stderr, "\n%s [y/N] ", Narrow(question).c_str());
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

ThreadScope::ThreadScope() = default;
ThreadScope::~ThreadScope() = default;

}  // namespace os
}  // namespace setup
