// Child processes on Linux: each runs under a keeper (see keeper_posix.h),
// in a process group of its own that the keeper ends, output and errors on
// one pipe. The registry (groups_posix.h) holds the keepers.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>
#include <utility>

#include "arguments_posix.h"
#include "child.h"
#include "cpu.h"
#include "env_posix.h"
#include "groups_posix.h"
#include "keeper_posix.h"
#include "setup.h"
#include "signal_posix.h"

namespace setup::os {

namespace {

constexpr int kPipeSize = 1 << 20;

class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Close(); }
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            Close();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    int get() const { return fd_; }
    void Close() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

  private:
    int fd_;
};

// The program as execve needs it: found on the PATH unless the name holds a
// slash, as a shell finds it; empty when there is none.
std::string Find(const std::string& name) {
    if (name.find('/') != std::string::npos) return name;
    const char* path = getenv("PATH");
    std::string dirs = path ? path : "/bin:/usr/bin";
    for (std::size_t from = 0; from <= dirs.size();) {
        std::size_t to = std::min(dirs.find(':', from), dirs.size());
        std::string dir = dirs.substr(from, to - from);
        std::string file = (dir.empty() ? "." : dir) + "/" + name;
        struct stat info {};
        if (stat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(file.c_str(), X_OK) == 0)
            return file;
        from = to + 1;
    }
    return {};
}

// Every signal blocked around the fork: the keeper starts with them all
// blocked, so that none of the setup program's handlers runs in it.
class Blocked {
  public:
    Blocked() {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &old_);
    }
    ~Blocked() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
    Blocked(const Blocked&) = delete;
    Blocked& operator=(const Blocked&) = delete;

  private:
    sigset_t old_;
};

// The report's last writer goes at the command's exec; an errno before
// that is a command that couldn't start (a failed exec or chdir).
bool NotStarted(int report) {
    int error = 0;
    ssize_t got;
    while ((got = ::read(report, &error, sizeof error)) < 0 && errno == EINTR) {
    }
    return got > 0;
}

}  // namespace

struct Child::Impl {
    Fd read;
    pid_t pid = 0;  // also the group's id; 0 when there is no child to wait for
    pid_t keeper = 0;
    bool signalled = false;
    bool lower = false;
};

Child::Child() : impl_(std::make_unique<Impl>()) {}

Child::~Child() {
    if (impl_->pid == 0) return;
    End();
    Wait();
}

Started Child::Start(const std::wstring& command, const std::filesystem::path& workingDir) {
    int ends[2], report[2];
    // All ends close on exec: the command gets the write end only through its
    // dup2 onto standard output and error.
    if (pipe2(ends, O_CLOEXEC) != 0) return Started::NoPipe;
    Fd read(ends[0]), write(ends[1]);
    if (pipe2(report, O_CLOEXEC) != 0) return Started::NoPipe;
    Fd reportRead(report[0]), reportWrite(report[1]);
    // Room for a megabyte of output: a child that prints flat out keeps
    // going while the reader is busy writing setup.log or off the CPU. Where
    // the system allows less, the default stays.
    fcntl(read.get(), F_SETPIPE_SZ, kPipeSize);

    std::vector<std::string> args = Arguments(Narrow(command));
    if (args.empty()) return Started::No;
    // Held from the PATH search to the fork: the child starts with the
    // environment the search saw, whole.
    std::unique_lock<std::mutex> env(EnvLock());
    std::string program = Find(args[0]);
    if (program.empty()) return Started::No;
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::string dir = workingDir.native();
    Command run{program.c_str(),
                argv.data(),
                dir.empty() ? nullptr : dir.c_str(),
                write.get(),
                reportWrite.get(),
                HeldLock(),
                getpid(),
                impl_->lower ? kLower : 0};

    pid_t pid = 0;
    {
        Blocked blocked;
        pid = fork();
        if (pid == 0) Keep(run);
    }
    env.unlock();
    write.Close();
    reportWrite.Close();
    if (pid < 0) return Started::No;
    setpgid(pid, pid);  // as the keeper does, whichever comes first
    // Registered at once: from here a cancel reaches the keeper, which ends
    // the command's group as soon as there is one.
    AddGroup(pid);
    impl_->pid = impl_->keeper = pid;
    if (NotStarted(reportRead.get())) {
        Wait();
        return Started::No;
    }
    impl_->read = std::move(read);
    return Started::Yes;
}

void Child::Lower() {
    impl_->lower = true;
}

// The child runs from its start: nothing to let go.
void Child::Resume() {}

void Child::End() {
    SignalProcess(impl_->pid, SIGUSR1);
}

Output Child::Read(char* buffer, std::size_t size, int waitMs, std::size_t& got) {
    got = 0;
    pollfd ready{impl_->read.get(), POLLIN, 0};
    int events = poll(&ready, 1, waitMs);
    if (events < 0) return errno == EINTR ? Output::kNone : Output::kEnd;
    if (events == 0) return Output::kNone;
    ssize_t read = ::read(impl_->read.get(), buffer, size);
    if (read > 0) {
        got = static_cast<std::size_t>(read);
        return Output::kSome;
    }
    if (read < 0 && (errno == EINTR || errno == EAGAIN)) return Output::kNone;
    return Output::kEnd;
}

// The keeper ends with the command, once it has ended what the command left.
bool Child::Ended() {
    siginfo_t info{};
    return impl_->pid != 0 &&
           waitid(P_PID, static_cast<id_t>(impl_->pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == impl_->pid;
}

int Child::Wait() {
    impl_->read.Close();
    pid_t pid = std::exchange(impl_->pid, 0);
    // Waited for without reaping first: until it is reaped its id can't be
    // reused, so the group stays registered (and killable) only while that holds.
    siginfo_t info{};
    while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
    DropGroup(pid);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return 1;
    }
    // The keeper exits with the command's code, and dies of the signal that
    // ended the command; a signal is given as the shells' figure.
    impl_->signalled = WIFSIGNALED(status);
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 1;
}

bool Child::Signalled() const {
    return impl_->signalled;
}

namespace {

// A small /proc file read whole; empty when it can't be.
std::string Slurp(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    char text[4096];
    ssize_t got = read(fd, text, sizeof text);
    close(fd);
    return got > 0 ? std::string(text, static_cast<std::size_t>(got)) : std::string();
}

// Appends the children of `pid` (of each of its threads) to `out`.
void Children(pid_t pid, std::vector<pid_t>& out) {
    std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator(tasks, ec)) {
        std::string list = Slurp(task.path().string() + "/children");
        for (const char* at = list.c_str(); *at;) {
            char* end = nullptr;
            long child = std::strtol(at, &end, 10);
            if (end == at) break;
            out.push_back(static_cast<pid_t>(child));
            at = end;
        }
    }
}

Leaf LeafOf(pid_t pid) {
    std::string dir = "/proc/" + std::to_string(pid);
    Leaf leaf;
    leaf.id = pid;
    leaf.name = Slurp(dir + "/comm");
    if (!leaf.name.empty() && leaf.name.back() == '\n') leaf.name.pop_back();
    // statm: size, then resident, in pages.
    std::string statm = Slurp(dir + "/statm");
    std::size_t space = statm.find(' ');
    if (space != std::string::npos)
        leaf.memory = std::strtoull(statm.c_str() + space + 1, nullptr, 10) *
                      static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    return leaf;
}

// The keeper and every process under it, down through each one's list of
// children, with whether it started none: the cost grows with the build's
// processes, not with everything the system runs.
template <class Visit>
void Walk(pid_t keeper, const Visit& visit) {
    std::vector<pid_t> next{keeper};
    for (int depth = 0; !next.empty() && depth < 64; ++depth) {
        std::vector<pid_t> now;
        now.swap(next);
        for (pid_t pid : now) {
            std::size_t before = next.size();
            Children(pid, next);
            visit(pid, next.size() == before);
        }
    }
}

}  // namespace

std::vector<Leaf> Child::Leaves() {
    std::vector<Leaf> leaves;
    if (impl_->keeper == 0) return leaves;
    Walk(impl_->keeper, [&](pid_t pid, bool leaf) {
        if (leaf && pid != impl_->keeper) leaves.push_back(LeafOf(pid));
    });
    return leaves;
}

long long Child::CpuMs() {
    if (impl_->keeper == 0 || CpuTicks(impl_->keeper) < 0) return -1;
    long long ticks = 0;
    Walk(impl_->keeper, [&](pid_t pid, bool) { ticks += std::max(CpuTicks(pid), 0LL); });
    long hz = sysconf(_SC_CLK_TCK);
    return hz > 0 ? ticks * 1000 / hz : -1;
}

std::filesystem::path ProgramOf(const std::wstring& command) {
    std::vector<std::string> args = Arguments(Narrow(command));
    if (args.empty()) return {};
    std::lock_guard<std::mutex> env(EnvLock());
    std::string found = Find(args[0]);
    return PathText(found.empty() ? args[0] : found);
}

}  // namespace setup::os
