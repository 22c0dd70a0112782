#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

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
    // Without a terminal nobody can answer, and the careful answer is no.
    if (!isatty(STDIN_FILENO)) return false;
    std::fprintf(stderr, "\n%s [y/N] ", Narrow(question).c_str());
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

ThreadScope::ThreadScope() = default;
ThreadScope::~ThreadScope() = default;

}  // namespace os
}  // namespace setup
