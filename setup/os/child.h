// The platform half of Run: one child process and the pipe that carries its
// standard output and standard error. The shared half (lines, logging,
// cancel, messages) is in process.cpp.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "setup.h"

namespace setup::os {

// Blocked: an application control policy refused the program.
enum class Started { Yes, NoPipe, No, Blocked };

// The status of a process that an application control policy ended while it
// loaded (STATUS_SYSTEM_INTEGRITY_POLICY_VIOLATION), as Wait returns it.
constexpr int kBlockedStatus = static_cast<int>(0xC0E90002u);

// The file a command line's first word starts, found as the system finds it;
// the word itself when it can't be found.
std::filesystem::path ProgramOf(const std::wstring& command);

// What one Read found: output, nothing within the wait, or the pipe's end
// (every writer gone).
enum class Output { kSome, kNone, kEnd };

class Child {
  public:
    Child();
    // A child still running here (a handler threw) is ended and waited for.
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Starts the command line with its standard input inherited, already
    // among the children that EndChildren reaches. Where the platform allows
    // it is held back until Resume, so that it can't start anything before.
    Started Start(const std::wstring& command, const std::filesystem::path& workingDir);
    void Resume();
    // Ends the child and everything it started.
    void End();
    // Up to size bytes of output (got: how many), waiting at most waitMs
    // for any.
    Output Read(char* buffer, std::size_t size, int waitMs, std::size_t& got);
    // Whether the command itself has ended: what it started may still hold
    // the pipe open.
    bool Ended();
    // Closes the pipe, waits for the child and returns its exit code.
    int Wait();
    // After Wait: whether a signal ended the command (never on Windows),
    // which an exit code of 128 plus its number can't tell from an exit.
    bool Signalled() const;
    // The child's processes that run now and started none of their own:
    // the compiles of a build, while the script, CMake and Ninja each wait
    // on the next. Empty when the system can't tell.
    std::vector<Leaf> Leaves();
    // Before Start: the child and all it starts run below normal priority,
    // so that the PC stays usable beside them.
    void Lower();
    // The processor time the child's processes have used so far, in
    // milliseconds, ended ones included; -1 when the system can't tell.
    long long CpuMs();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace setup::os
