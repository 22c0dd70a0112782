#include "keeper_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "signal_posix.h"

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

// How long the keeper goes on ending what the command left before it gives
// up and exits: SIGKILL ends a process at once unless it waits on a device.
constexpr long kEndMs = 5000;

long NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

// The number at text, and where it stops.
long Number(const char*& text, const char* end) {
    long n = 0;
    while (text < end && *text >= '0' && *text <= '9') n = n * 10 + (*text++ - '0');
    return n;
}

struct Dirent64 {
    ino64_t ino;
    off64_t off;
    unsigned short reclen;
    unsigned char type;
    char name[];
};

// Sends SIGKILL to every child of the keeper, found through /proc (readdir
// allocates; getdents64 doesn't).
void KillChildren(pid_t keeper) {
    int proc = open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (proc < 0) return;
    alignas(8) char entries[8192];
    for (;;) {
        long got = syscall(SYS_getdents64, proc, entries, sizeof entries);
        if (got <= 0) break;
        for (long at = 0; at < got;) {
            auto* entry = reinterpret_cast<Dirent64*>(entries + at);
            at += entry->reclen;
            const char* name = entry->name;
            const char* end = name;
            while (*end) ++end;
            const char* digits = name;
            pid_t pid = static_cast<pid_t>(Number(digits, end));
            if (digits != end || pid == keeper) continue;
            if (ParentOf(name) == keeper) SignalProcess(pid, SIGKILL);
        }
    }
    close(proc);
}

// Ends every descendant of the keeper, the command too if it still runs:
// its group at once (while the command isn't reaped, its id can't be reused),
// then the keeper's children, over and over, as each killed one's children
// come to the keeper (their subreaper), until none is left or kEndMs have
// passed. The command's wait status goes to status when it is reaped here.
void EndAll(pid_t keeper, pid_t command, int& status) {
    if (command != 0) SignalGroup(command, SIGKILL);
    sigset_t child;
    sigemptyset(&child);
    sigaddset(&child, SIGCHLD);
    long deadline = NowMs() + kEndMs;
    for (bool killed = false;; killed = true) {
        for (;;) {
            int ended = 0;
            pid_t gone = waitpid(-1, &ended, WNOHANG);
            if (gone < 0 && errno == EINTR) continue;
            if (gone < 0) return;  // no descendant left
            if (gone == 0) break;
            if (gone == command) status = ended;
        }
        long left = deadline - NowMs();
        if (left <= 0) return;
        // The first time round, the command's group may still be dying.
        if (killed) KillChildren(keeper);
        timespec wait{0, std::min(left, 10L) * 1000 * 1000};
        sigtimedwait(&child, nullptr, &wait);
    }
}

// Ends the keeper by the signal that ended the command, so that the setup
// program can tell a real signal from a command that exited with 128 plus
// its number. No core file: the keeper didn't fail.
void Die(int signal) {
    rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    sigaction(signal, &defaults, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    SignalProcess(getpid(), signal);
}

// The command itself: a group of its own, so that one kill reaches
// everything it starts; its end tied to the keeper's; and a clean signal
// state, whatever the setup program ignores or blocks.
[[noreturn]] void Exec(const Command& c, pid_t keeper) {
    setpgid(0, 0);
    // Killed with its keeper, however the keeper dies (a SIGKILL to it alone).
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != keeper) _exit(127);
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

// From /proc/PID/stat ("PID (NAME) STATE PPID ...").
pid_t ParentOf(const char* pid) {
    char path[64] = "/proc/";
    std::size_t at = 6;
    while (*pid && at < sizeof path - 6) path[at++] = *pid++;
    for (const char* rest = "/stat"; *rest;) path[at++] = *rest++;
    path[at] = 0;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char text[512];
    ssize_t got = read(fd, text, sizeof text);
    close(fd);
    if (got <= 0) return 0;
    const char* end = text + got;
    const char* name = end;  // the name may hold ") ": the last one ends it
    for (const char* c = text; c + 1 < end; ++c)
        if (c[0] == ')' && c[1] == ' ') name = c;
    if (end - name < 5) return 0;
    const char* ppid = name + 4;  // past ") S "
    return static_cast<pid_t>(Number(ppid, end));
}

void Keep(const Command& c) {
    // Every signal is blocked here (the parent forked with all of them
    // blocked): the keeper takes the ones it acts on with sigwaitinfo, and
    // the terminal's go to the setup program alone. A group of its own: a
    // kill of the setup program's group (kill -9 -PGID, timeout -s KILL)
    // leaves the keeper, told by the parent-death signal, to end the command.
    setpgid(0, 0);
    bool ending = false;
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != c.parent) ending = true;  // died before the line above
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    // Before the command exists: all it starts inherits it.
    if (c.nice) setpriority(PRIO_PROCESS, 0, getpriority(PRIO_PROCESS, 0) + c.nice);
    pid_t keeper = getpid();
    pid_t command = fork();
    if (command == 0) Exec(c, keeper);
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
    int status = 1 << 8;  // an exit with 1, while the command's own is unknown
    while (!ending) {
        siginfo_t info{};
        if (waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (info.si_pid == command) break;  // reaped by EndAll, after its group's kill
        if (info.si_pid != 0) {
            // One that the command left and that ended since (it came to the keeper).
            while (waitpid(info.si_pid, nullptr, 0) < 0 && errno == EINTR) {
            }
            continue;
        }
        int signal = sigwaitinfo(&wanted, nullptr);
        // SIGTERM: the setup program died; SIGUSR1: a cancel or its end.
        if (signal == SIGTERM || signal == SIGUSR1) ending = true;
    }
    // What the command left running (a build's daemon, which holds the
    // output pipe and the install folder) ends with it.
    EndAll(keeper, command, status);
    if (WIFSIGNALED(status)) Die(WTERMSIG(status));
    _exit(ExitCode(status));
}

void SetHeldLock(int fd) {
    s_heldLock.store(fd);
}

int HeldLock() {
    return s_heldLock.load();
}

}  // namespace setup::os
