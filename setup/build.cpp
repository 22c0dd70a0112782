#include "build.h"

#include <algorithm>
#include <climits>

#include "compiles.h"
#include "facts.h"
#include "maintenance.h"
#include "memory_sign.h"
#include "os.h"
#include "urls.h"

namespace setup {

namespace {

// The patterns are anchored at the start of the line and must end within
// this much of it: a huge line costs no more than a short one.
constexpr std::size_t kLinePrefix = 256;

// White space as the C locale has it.
bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Reads the run of digits that starts at `at` into `value` and returns its
// end; `value` is -1 when there is none, or it is longer than 10 digits or
// larger than an int. An 11th digit ends the run: no pattern matches there.
const char* Digits(const char* at, const char* end, long long& value) {
    const char* from = at;
    end = std::min(end, at + 11);
    long long n = 0;
    for (; at < end; ++at) {
        unsigned digit = static_cast<unsigned char>(*at) - unsigned{'0'};
        if (digit > 9) break;
        n = n * 10 + digit;
    }
    value = at == from || at - from > 10 || n > INT_MAX ? -1 : n;
    return at;
}

// Python writes to a pipe in the ANSI code page on Windows: a path with a
// character outside it makes a print raise and the script die, and others
// reach setup.log garbled. UTF-8's strict handler would raise in turn on a
// Linux file name that isn't UTF-8, which surrogateescape passes on as the
// bytes it was. A choice of the user's stands.
void Utf8Output() {
    bool present = false;
    os::GetEnv(L"PYTHONIOENCODING", &present);
    if (!present) os::SetEnv(L"PYTHONIOENCODING", L"utf-8:surrogateescape");
}

// Whether a line of the build's says Windows' application control refused a
// program it started: the system's words, Python's error number, the status.
bool Refusal(std::string_view line) {
    using namespace std::literals;
    for (std::string_view sign : {"Application Control policy has blocked"sv, "WinError 4551"sv,
                                  "error 4551"sv, "0xC0E90002"sv, "0xc0e90002"sv})
        if (line.find(sign) != std::string_view::npos) return true;
    return false;
}

}  // namespace

bool BuildOutput::operator()(const std::string& line) {
    const char* at = line.data();
    const char* end = at + std::min(line.size(), kLinePrefix);
    if (at == end) return false;
    if (*at == '=') {
        if (line.compare(0, 4, "==> ") != 0) return false;
        PostText(kMsgStatus, Widen(line.substr(4)));
        // A stage's length is unknown, but the last one's work is complete.
        Post(line.compare(4, std::string::npos, "Done") == 0 ? 100 : -1);
        return true;
    }
    long long count = 0, total = 0;
    if (*at == '[') {
        // "[count/total]" at the very start. A total too large to be real,
        // or none, says nothing.
        const char* slash = Digits(at + 1, end, count);
        if (slash == at + 1 || slash == end || *slash != '/') return false;
        const char* close = Digits(slash + 1, end, total);
        if (close == slash + 1 || close == end || *close != ']' || total <= 0) return false;
        building_ = true;
        if (count >= 0 && count <= INT_MAX / 100) {
            int percent = Onward(static_cast<int>(count * 100 / total));
            highest_ = std::max(highest_, percent);
            Post(percent, Steps(static_cast<int>(count), static_cast<int>(total)));
        }
        return true;
    }
    // White space, digits and "%" at the start.
    while (at < end && IsSpace(*at)) ++at;
    const char* digits = Digits(at, end, count);
    if (digits == end || *digits != '%' || count < 0) return false;
    // The extraction's figures: a continued build has the game's files.
    Post(static_cast<int>(count), kBuildPercent);
    return true;
}

// A build continued with fewer compiles counts only the steps left: its
// steps fill what is left of the bar.
int BuildOutput::Onward(int percent) const {
    return base_ == 0 ? percent : base_ + (100 - base_) * std::min(percent, 100) / 100;
}

void BuildOutput::Continue() {
    base_ = std::max(base_, std::min(highest_, 100));
}

void BuildLines::operator()(const std::string& line) {
    // Progress lines are most of a build's output: they are looked at no further.
    if (!output_(line)) {
        if (refusal_.empty() && Refusal(line)) refusal_ = line;
        if (memory_.empty() && MemorySign(line)) memory_ = line;
    }
    script_(line);
}

void BuildLines::MemoryKills(std::uint64_t kills) {
    // The kernel ends a compiler without a word in the build's output.
    if (!memory_.empty() || kills == 0) return;
    memory_ = "The system's out-of-memory killer ended " + std::to_string(kills) +
              (kills == 1 ? " process" : " processes") + " while the build ran.";
    Log(Widen(memory_));
}

std::wstring BuildLines::Cause() const {
    if (!memory_.empty()) return Widen(memory_);
    if (refusal_.empty()) return script_.Cause();
    return L"Windows' Smart App Control (or your organisation's app control) blocked a program "
           L"of the build: " +
           Widen(refusal_);
}

// A figure equal to the last one posted changes nothing on the window: a
// flood of build steps repeats each percentage thousands of times.
void BuildOutput::Post(int percent, std::intptr_t steps) {
    if (percent == posted_) return;
    posted_ = percent;
    PostProgress(percent, steps);
}

void Failure(int code, bool signalled, const std::wstring& cause, const fs::path& launcher) {
    Log(L"The build script's exit code: " + std::to_wstring(code));
    // Killed from outside, its output says nothing of why. A script that
    // exits with 128 plus a number was killed by nothing.
    std::wstring signal = signalled ? os::SignalOf(code) : std::wstring();
    std::wstring why = signal.empty() ? cause : L"The build was stopped by " + signal + L".";
    // A launcher from an earlier build has a Help menu with the same way to report it.
    Fail(Say(Exists(launcher) ? T(L"The build failed. Run Setup again; if it fails again, report "
                                  L"it with Help > Report a bug in the launcher, or at {} with "
                                  L"setup.log attached.")
                              : T(L"The build failed. Run Setup again; if it fails again, report "
                                  L"it at {} with setup.log attached."),
             urls::kIssues),
         why);
}

std::uint64_t BuildKills(const os::Kills& before, const os::Kills& after, bool signalled,
                         int code) {
    // The system's count holds every other program's too: it says something
    // of the build only when the build died as the killer ends a process.
    if (!after.own && !(signalled && code == 128 + 9)) return 0;
    return after.count - std::min(after.count, before.count);
}

std::wstring BuildCommand(const fs::path& source, bool extracted) {
    std::wstring command = kBuildCommand;
    if (!extracted) command += L" --iso " + Quote(source);
    return command;
}

namespace {

// One run of the build script: its exit code, what it said and what its
// processes did.
struct Attempt {
    int code = 0;
    Watch watch;
    std::wstring cause;
    bool memory = false;  // it ran out of memory: the cause says how
};

Attempt RunScript(const std::wstring& command, const fs::path& sourceDir, BuildOutput& output,
                  Compiles& compiles) {
    Attempt attempt;
    BuildLines lines(output);
    attempt.watch.seen = [&compiles](const std::vector<Leaf>& leaves) { compiles.Seen(leaves); };
    os::Kills before = os::MemoryKills();
    attempt.code = Run(command, sourceDir, lines.Handler(), &attempt.watch);
    lines.MemoryKills(BuildKills(before, os::MemoryKills(), attempt.watch.signalled, attempt.code));
    attempt.memory = lines.Memory();
    attempt.cause = lines.Cause();
    return attempt;
}

// What the Ninja on the PATH says to --version; empty when it can't be asked.
std::string NinjaVersion(const fs::path& folder) {
    std::string version;
    try {
        if (Run(L"ninja --version", folder, [&](const std::string& line) {
                if (version.empty()) version = line;
            }) != 0)
            version.clear();
    } catch (const NotStarted&) {
        version.clear();
    }
    return version;
}

}  // namespace

bool Build(const fs::path& sourceDir, const fs::path& source, bool extracted) {
    // Only the last build's leftovers let an update rebuild just what
    // changed: once "Free up space" has deleted them, it starts over.
    bool rebuild = !mosk::maintenance::Leftovers(sourceDir).paths.empty();
    Status(rebuild ? T(L"Building (an update rebuilds only what changed: usually minutes)")
                   : T(L"Building (the first build takes 10-30 minutes)"));
    Utf8Output();
    fs::path launcher = sourceDir / "build" / "runtime" / "CorvaneLauncher.exe";
    BuildOutput output;
    Compiles compiles(NinjaVersion(sourceDir));
    std::uint64_t before = os::ChildPeak();
    bool there = extracted || Exists(sourceDir / "game" / "extracted" / "default.xex");
    bool fewer = false;
    for (;;) {
        Attempt attempt = RunScript(BuildCommand(source, there), sourceDir, output, compiles);
        if (attempt.code == 0) break;
        if (!attempt.memory) {
            compiles.Summary(Peak(before));
            Failure(attempt.code, attempt.watch.signalled, attempt.cause, launcher);
        }
        compiles.Fewer(attempt.watch.most, Peak(before), attempt.cause);
        output.Continue();
        fewer = true;
        // Run again, the script finds the game's files extracted once it has
        // got as far as building: not before, when they may be half there.
        there = there || output.Building();
    }
    compiles.Summary(Peak(before));
    s_installed = launcher;
    if (!Exists(s_installed)) Fail(T(L"The build finished but CorvaneLauncher.exe isn't there."));
    return fewer;
}

}  // namespace setup
