// A three-level process tree like a build's: "tree FOLDER 1" starts level 2,
// which starts level 3. Each level writes its process id to FOLDER/pid-N,
// holds the parent's output pipe, and sleeps; one that is not killed writes
// FOLDER/survived-N when it wakes. On Linux every level ignores SIGPIPE, as
// Python (the build script's interpreter) does, so a closed pipe doesn't end
// it; level 2 also ignores SIGTERM, as a stubborn build tool might. With
// "leave" after the level, level 1 exits once it has started level 2, which
// goes on holding the pipe, as a build's daemon does.
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "portable.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <spawn.h>
extern char** environ;
#endif

namespace {

void StartLevel(const char* self, const std::string& folder, int level) {
    std::string number = std::to_string(level);
#ifdef _WIN32
    (void)self;
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(exe) + L"\" \"" +
                        std::wstring(folder.begin(), folder.end()) + L"\" " +
                        std::wstring(number.begin(), number.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started{};
    if (CreateProcessW(exe, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &started)) {
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
    }
#else
    std::string path = self, dir = folder;
    char* argv[] = {path.data(), dir.data(), number.data(), nullptr};
    pid_t pid = 0;
    posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ);
#endif
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    std::string folder = argv[1];
    int level = std::atoi(argv[2]);
#ifndef _WIN32
    signal(SIGPIPE, SIG_IGN);
    if (level == 2) signal(SIGTERM, SIG_IGN);
#endif
    helper::WriteFile(folder + "/pid-" + argv[2], std::to_string(helper::Pid()));
    if (level < 3) StartLevel(argv[0], folder, level + 1);
    std::printf("level %d\n", level);
    std::fflush(stdout);
    if (argc > 3 && std::string(argv[3]) == "leave") return 0;
    std::this_thread::sleep_for(std::chrono::seconds(20));
    helper::WriteFile(folder + "/survived-" + argv[2], "");
    return 0;
}
