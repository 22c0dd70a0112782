#include "keeper_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

extern char** environ;

namespace setup::os {

namespace {

std::atomic<int> s_heldLock{-1};

// Closes every descriptor above the standard streams but the two (either may be -1).
void CloseAllBut(int a, int b) {
    unsigned from = STDERR_FILENO + 1;
    for (int keep : {std::min(a, b), std::max(a, b)}) {
        if (keep < static_cast<int>(from)) continue;
        if (keep > static_cast<int>(from)) close_range(from, static_cast<unsigned>(keep) - 1, 0);
        from = static_cast<unsigned>(keep) + 1;
    }
    close_range(from, ~0U, 0);
}

[[noreturn]] void Report(int fd, int error) {
    while (write(fd, &error, sizeof error) < 0 && errno == EINTR) {
    }
    _exit(127);
}

int ExitCode(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    // Killed by a signal: the shells' figure, never 0.
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 1;
}

// The command itself: a group of its own, so that one kill reaches
// everything it starts, and a clean signal state, whatever the setup program
// ignores or blocks.
[[noreturn]] void Exec(const Command& c) {
    setpgid(0, 0);
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGCHLD})
        sigaction(signal, &defaults, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (dup2(c.output, STDOUT_FILENO) < 0 || dup2(c.output, STDERR_FILENO) < 0)
        Report(c.report, errno);
    if (c.dir && chdir(c.dir) != 0) Report(c.report, errno);
    // Only the three standard streams: no other file of the setup program
    // (setup.log, a download's socket, the lock) is held open by a child.
    CloseAllBut(c.report, -1);
    execve(c.path, c.argv, environ);
    Report(c.report, errno);
}

}  // namespace

void Keep(const Command& c) {
    // Every signal is blocked here (the parent forked with all of them
    // blocked): the keeper takes the ones it acts on with sigwaitinfo, and
    // the terminal's go to the setup program alone.
    bool orphaned = false;
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != c.parent) orphaned = true;  // died before the line above
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    pid_t command = fork();
    if (command == 0) Exec(c);
    if (command < 0) Report(c.report, errno);
    setpgid(command, command);
    // The lock stays open here alone: held by the keeper until the command's
    // tree is gone. The standard streams go too: whoever reads the setup
    // program's output must not wait for a keeper that outlives it.
    CloseAllBut(c.lock, -1);
    int none = open("/dev/null", O_RDWR | O_CLOEXEC);
    for (int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
        if (none >= 0 && none != stream) dup2(none, stream);
    if (none > STDERR_FILENO && none != c.lock) close(none);

    sigset_t wanted;
    sigemptyset(&wanted);
    sigaddset(&wanted, SIGCHLD);
    sigaddset(&wanted, SIGTERM);
    sigaddset(&wanted, SIGUSR1);
    int code = 1;
    if (orphaned) kill(-command, SIGKILL);
    for (;;) {
        siginfo_t info{};
        if (waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
            if (errno == EINTR) continue;
            _exit(code);  // no descendant left
        }
        if (info.si_pid != 0) {
            int status = 0;
            // The command's group is ended while its leader is a zombie: until
            // it is reaped the group's id can't be reused by anyone else.
            if (info.si_pid == command) kill(-command, SIGKILL);
            while (waitpid(info.si_pid, &status, 0) < 0 && errno == EINTR) {
            }
            if (info.si_pid != command) continue;
            code = ExitCode(status);
            command = 0;
            if (!orphaned) _exit(code);
            continue;
        }
        int signal = sigwaitinfo(&wanted, nullptr);
        if (signal == SIGTERM) orphaned = true;
        if ((signal == SIGTERM || signal == SIGUSR1) && command != 0) kill(-command, SIGKILL);
    }
}

void SetHeldLock(int fd) {
    s_heldLock.store(fd);
}

int HeldLock() {
    return s_heldLock.load();
}

}  // namespace setup::os
