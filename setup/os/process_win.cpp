// Child processes on Windows: hidden, started suspended, put into the job
// object before they run, output and errors on one pipe.
#include <windows.h>

#include <utility>

#include "child.h"
#include "setup.h"
#include "win.h"

namespace setup::os {

namespace {

class Handle {
  public:
    Handle() = default;
    ~Handle() { Close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE* out() { return &h_; }
    HANDLE get() const { return h_; }
    void Reset(HANDLE h) {
        Close();
        h_ = h;
    }
    void Swap(Handle& other) { std::swap(h_, other.h_); }
    void Close() {
        if (h_) CloseHandle(h_);
        h_ = nullptr;
    }

  private:
    HANDLE h_ = nullptr;
};

}  // namespace

struct Child::Impl {
    Handle read;
    Handle process;  // null when there is no child to wait for
    Handle thread;
    bool inJob = false;
};

Child::Child() : impl_(std::make_unique<Impl>()) {}

Child::~Child() {
    if (!impl_->process.get()) return;
    End();
    Wait();
}

Started Child::Start(const std::wstring& command, const std::filesystem::path& workingDir) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    Handle read, write;
    if (!CreatePipe(read.out(), write.out(), &inherit, 0)) return Started::NoPipe;
    // Only the write end reaches the child.
    SetHandleInformation(read.get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = write.get();
    startup.hStdError = write.get();
    std::wstring line = command;  // CreateProcessW may write into it
    PROCESS_INFORMATION started{};
    BOOL ok = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                             CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr,
                             workingDir.empty() ? nullptr : workingDir.c_str(), &startup, &started);
    // From now on only the child (and what it starts) holds writers, so the
    // pipe reports its end when they have all ended.
    write.Close();
    if (!ok) return Started::No;
    impl_->process.Reset(started.hProcess);
    impl_->thread.Reset(started.hThread);
    impl_->read.Swap(read);
    // Still suspended: nothing it starts can escape the job.
    impl_->inJob = s_job && AssignProcessToJobObject(s_job, started.hProcess);
    return Started::Yes;
}

void Child::Resume() {
    ResumeThread(impl_->thread.get());
}

void Child::End() {
    // One run at a time: the job holds this child's tree and nothing else.
    if (impl_->inJob) {
        TerminateJobObject(s_job, 1);
    } else if (impl_->process.get()) {
        TerminateProcess(impl_->process.get(), 1);
    }
}

std::size_t Child::Read(char* buffer, std::size_t size) {
    DWORD got = 0;
    // Fails with a broken pipe once every writer is gone.
    if (!ReadFile(impl_->read.get(), buffer, static_cast<DWORD>(size), &got, nullptr)) return 0;
    return got;
}

int Child::Wait() {
    impl_->read.Close();
    WaitForSingleObject(impl_->process.get(), INFINITE);
    DWORD code = 1;  // what a failed query reports
    GetExitCodeProcess(impl_->process.get(), &code);
    impl_->thread.Close();
    impl_->process.Close();
    return static_cast<int>(code);
}

}  // namespace setup::os
