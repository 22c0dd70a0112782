// Child processes on Windows: hidden, started suspended, put into the job
// object before they run, output and errors on one pipe.
#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "child.h"
#include "cpu.h"
#include "setup.h"
#include "win.h"

namespace setup::os {

namespace {

constexpr DWORD kPipeSize = 1 << 20;

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

// The handles a child may inherit: the pipe's write end, and the standard
// input when it is an inheritable handle. Without the list every inheritable
// handle of the program would reach every child, setup.log's among them (the
// C runtime opens its files inheritable), and stay open as long as anything
// the build left running.
class Inherited {
  public:
    explicit Inherited(HANDLE pipe) {
        handles_.push_back(pipe);
        HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
        DWORD flags = 0;
        if (input && input != INVALID_HANDLE_VALUE && GetHandleInformation(input, &flags) &&
            (flags & HANDLE_FLAG_INHERIT))
            handles_.push_back(input);
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        buffer_.resize(size);
        auto list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data());
        if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
        list_ = list;
        if (!UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                       handles_.size() * sizeof(HANDLE), nullptr, nullptr)) {
            DeleteProcThreadAttributeList(list_);
            list_ = nullptr;
        }
    }
    ~Inherited() {
        if (list_) DeleteProcThreadAttributeList(list_);
    }
    Inherited(const Inherited&) = delete;
    Inherited& operator=(const Inherited&) = delete;
    // Null when the list couldn't be made.
    LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

  private:
    std::vector<HANDLE> handles_;
    std::vector<char> buffer_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

// CreateProcessW's error when an application control policy (Smart App
// Control, App Control for Business) refuses the program.
constexpr DWORD kPolicyRefused = 4551;  // ERROR_SYSTEM_INTEGRITY_POLICY_VIOLATION

// The first word of a command line, by the rules the system reads it with.
std::wstring FirstWord(const std::wstring& command) {
    if (!command.empty() && command[0] == L'"') return command.substr(1, command.find(L'"', 1) - 1);
    return command.substr(0, command.find_first_of(L" \t"));
}

// The child that runs outside the job, for a cancel from another thread.
std::mutex s_looseLock;
HANDLE s_loose = nullptr;

void SetLoose(HANDLE process) {
    std::lock_guard<std::mutex> hold(s_looseLock);
    s_loose = process;
}

}  // namespace

std::filesystem::path ProgramOf(const std::wstring& command) {
    std::wstring word = FirstWord(command);
    wchar_t found[32768];
    DWORD size = SearchPathW(nullptr, word.c_str(), L".exe", 32768, found, nullptr);
    return size && size < 32768 ? std::filesystem::path(found) : std::filesystem::path(word);
}

decltype(&CreateProcessW) s_createProcess = nullptr;

bool Create(std::wstring& line, const wchar_t* folder, BOOL inherit, DWORD flags,
            STARTUPINFOW* startup, PROCESS_INFORMATION* started) {
    auto create = s_createProcess ? s_createProcess : CreateProcessW;
    return create(nullptr, line.data(), nullptr, nullptr, inherit, flags, nullptr, folder, startup,
                  started);
}

bool PolicyRefused() {
    return GetLastError() == kPolicyRefused;
}

void EndLooseChild() {
    std::lock_guard<std::mutex> hold(s_looseLock);
    if (s_loose) TerminateProcess(s_loose, 1);
}

struct Child::Impl {
    Handle read;
    Handle process;  // null when there is no child to wait for
    Handle thread;
    bool inJob = false;
    bool lower = false;
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
    // Room for a megabyte of output, as on Linux: a child that prints flat
    // out keeps going while the reader is busy or off the CPU. Under Wine a
    // pipe of the default size took 1.4 to 1.8 times as long to drain.
    if (!CreatePipe(read.out(), write.out(), &inherit, kPipeSize)) return Started::NoPipe;
    // Only the write end reaches the child.
    SetHandleInformation(read.get(), HANDLE_FLAG_INHERIT, 0);

    Inherited inherited(write.get());
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = inherited.get() ? sizeof startup : sizeof startup.StartupInfo;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    startup.StartupInfo.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.StartupInfo.hStdOutput = write.get();
    startup.StartupInfo.hStdError = write.get();
    startup.lpAttributeList = inherited.get();
    DWORD flags = CREATE_SUSPENDED | CREATE_NO_WINDOW;
    if (inherited.get()) flags |= EXTENDED_STARTUPINFO_PRESENT;
    // What a process of this class starts gets the same class.
    if (impl_->lower) flags |= BELOW_NORMAL_PRIORITY_CLASS;
    std::wstring line = command;  // CreateProcessW may write into it
    PROCESS_INFORMATION started{};
    bool ok = Create(line, workingDir.empty() ? nullptr : workingDir.c_str(), TRUE, flags,
                     &startup.StartupInfo, &started);
    bool refused = !ok && PolicyRefused();
    // From now on only the child (and what it starts) holds writers, so the
    // pipe reports its end when they have all ended.
    write.Close();
    if (!ok) return refused ? Started::Blocked : Started::No;
    impl_->process.Reset(started.hProcess);
    impl_->thread.Reset(started.hThread);
    impl_->read.Swap(read);
    // Still suspended: nothing it starts can escape the job.
    impl_->inJob = s_job && AssignProcessToJobObject(s_job, started.hProcess);
    if (!impl_->inJob) {
        // Then a cancel ends it by its own handle; what it starts is out of reach.
        Log(L"(the setup's job couldn't take this program: a cancel ends it, but not what it "
            L"starts)");
        SetLoose(started.hProcess);
    }
    return Started::Yes;
}

void Child::Lower() {
    impl_->lower = true;
}

long long Child::CpuMs() {
    // One run at a time: the job holds this child's tree and nothing else.
    return impl_->inJob ? JobCpuMs(s_job) : -1;
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

// An anonymous pipe has no read with a time limit: what is there is peeked
// at, and while nothing is, the wait is in short steps, so that a pipe held
// by a program the command left running never keeps Run waiting.
Output Child::Read(char* buffer, std::size_t size, int waitMs, std::size_t& got) {
    got = 0;
    constexpr int kStepMs = 5;
    for (int waited = 0;; waited += kStepMs) {
        DWORD ready = 0;
        // Fails with a broken pipe once every writer is gone.
        if (!PeekNamedPipe(impl_->read.get(), nullptr, 0, nullptr, &ready, nullptr))
            return Output::kEnd;
        if (ready) {
            DWORD read = 0;
            if (!ReadFile(impl_->read.get(), buffer,
                          static_cast<DWORD>(std::min<std::size_t>(size, ready)), &read, nullptr))
                return Output::kEnd;
            got = read;
            return Output::kSome;
        }
        if (waited >= waitMs) return Output::kNone;
        Sleep(kStepMs);
    }
}

bool Child::Ended() {
    return impl_->process.get() && WaitForSingleObject(impl_->process.get(), 0) == WAIT_OBJECT_0;
}

int Child::Wait() {
    impl_->read.Close();
    WaitForSingleObject(impl_->process.get(), INFINITE);
    if (!impl_->inJob) SetLoose(nullptr);
    DWORD code = 1;  // what a failed query reports
    GetExitCodeProcess(impl_->process.get(), &code);
    impl_->thread.Close();
    impl_->process.Close();
    return static_cast<int>(code);
}

// Windows has no signals.
bool Child::Signalled() const {
    return false;
}

// The processes of the job (this run's alone) that are no other's parent
// there: a snapshot of every process holds the parents and the names.
std::vector<Leaf> Child::Leaves() {
    constexpr DWORD kMost = 1024;
    struct {
        JOBOBJECT_BASIC_PROCESS_ID_LIST list;
        ULONG_PTR more[kMost - 1];
    } ids{};
    ids.list.NumberOfAssignedProcesses = kMost;
    std::vector<Leaf> leaves;
    if (!impl_->inJob ||
        !QueryInformationJobObject(s_job, JobObjectBasicProcessIdList, &ids, sizeof ids, nullptr))
        return leaves;
    const ULONG_PTR* first = ids.list.ProcessIdList;
    std::set<ULONG_PTR> job(first, first + ids.list.NumberOfProcessIdsInList), waiting;
    HANDLE taken = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (taken == INVALID_HANDLE_VALUE) return leaves;
    Handle snapshot;
    snapshot.Reset(taken);
    std::map<ULONG_PTR, std::wstring> names;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (!job.count(entry.th32ProcessID)) continue;
        names[entry.th32ProcessID] = entry.szExeFile;
        if (job.count(entry.th32ParentProcessID)) waiting.insert(entry.th32ParentProcessID);
    }
    for (const auto& [id, name] : names) {
        if (waiting.count(id)) continue;
        Leaf leaf;
        leaf.id = static_cast<long long>(id);
        leaf.name = Narrow(name);
        Handle process;
        process.Reset(
            OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(id)));
        PROCESS_MEMORY_COUNTERS counters{};
        if (process.get() && K32GetProcessMemoryInfo(process.get(), &counters, sizeof counters))
            leaf.memory = counters.WorkingSetSize;
        leaves.push_back(std::move(leaf));
    }
    return leaves;
}

}  // namespace setup::os
