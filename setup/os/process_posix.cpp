// Child processes on Linux: posix_spawnp with a process group of its own per
// child (the job object's counterpart, see groups_posix.h), output and errors
// on one pipe.
//
// Limits beyond those of the groups: the group is registered only until its
// leader (the child) is reaped, because its id may be reused after that, so a
// descendant that let go of the pipe and outlives the child is not reached by
// a later cancel or by the program's end; and a setup program killed with
// SIGKILL can't end its children at all.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "arguments_posix.h"
#include "child.h"
#include "groups_posix.h"
#include "setup.h"

extern char** environ;

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

// posix_spawn's two records, destroyed on every path.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup() {
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

void Prepare(SpawnSetup& spawn, int writeEnd, const std::filesystem::path& workingDir) {
    posix_spawn_file_actions_adddup2(&spawn.actions, writeEnd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&spawn.actions, writeEnd, STDERR_FILENO);
    // Only the three standard streams: no other file of the setup program
    // (setup.log, a download's socket) is held open by a child.
    posix_spawn_file_actions_addclosefrom_np(&spawn.actions, STDERR_FILENO + 1);
    if (!workingDir.empty())
        posix_spawn_file_actions_addchdir_np(&spawn.actions, workingDir.c_str());
    // Its own group, so that one kill reaches everything it starts; a clean
    // signal state, whatever the setup program ignores or blocks itself.
    posix_spawnattr_setflags(
        &spawn.attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&spawn.attributes, 0);
    sigset_t none, defaults;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&spawn.attributes, &none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigdefault(&spawn.attributes, &defaults);
}

int ExitCode(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    // Killed by a signal: the shells' figure, never 0.
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 1;
}

}  // namespace

struct Child::Impl {
    Fd read;
    pid_t pid = 0;  // also the group's id; 0 when there is no child to wait for
};

Child::Child() : impl_(std::make_unique<Impl>()) {}

Child::~Child() {
    if (impl_->pid == 0) return;
    End();
    Wait();
}

Started Child::Start(const std::wstring& command, const std::filesystem::path& workingDir) {
    int ends[2];
    // Both ends close on exec: the child gets the write end only through its
    // dup2 onto standard output and error.
    if (pipe2(ends, O_CLOEXEC) != 0) return Started::NoPipe;
    Fd read(ends[0]), write(ends[1]);
    // Room for a megabyte of output: a child that prints flat out keeps
    // going while the reader is busy writing setup.log or off the CPU. Where
    // the system allows less, the default stays.
    fcntl(read.get(), F_SETPIPE_SZ, kPipeSize);

    std::vector<std::string> args = Arguments(Narrow(command));
    if (args.empty()) return Started::No;
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    SpawnSetup spawn;
    Prepare(spawn, write.get(), workingDir);
    pid_t pid = 0;
    // glibc reports a failed exec or chdir here, not through the exit code.
    int error =
        posix_spawnp(&pid, argv[0], &spawn.actions, &spawn.attributes, argv.data(), environ);
    write.Close();
    if (error != 0) return Started::No;
    // The child already leads its group (set before its exec), so from here a
    // cancel reaches it and all it starts.
    AddGroup(pid);
    impl_->pid = pid;
    impl_->read = std::move(read);
    return Started::Yes;
}

// The child runs from its start: nothing to let go.
void Child::Resume() {}

void Child::End() {
    if (impl_->pid != 0) kill(-impl_->pid, SIGKILL);
}

std::size_t Child::Read(char* buffer, std::size_t size) {
    for (;;) {
        ssize_t got = read(impl_->read.get(), buffer, size);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) return 0;
    }
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
    return ExitCode(status);
}

}  // namespace setup::os
