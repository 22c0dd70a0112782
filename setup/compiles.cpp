#include "compiles.h"

#include <algorithm>
#include <cwchar>
#include <thread>

#include "facts.h"
#include "maintenance.h"

namespace setup {

namespace {

constexpr wchar_t kVariable[] = L"CMAKE_BUILD_PARALLEL_LEVEL";
constexpr wchar_t kFlags[] = L"MAKEFLAGS";

// The compilers and linkers of the toolchains a build may use.
constexpr std::string_view kCompilers[] = {
    "clang",  "clang++", "clang-cl", "cl",   "cc1",  "cc1plus",  "cc1obj",
    "gcc",    "g++",     "c++",      "cc",   "ld",   "ld.lld",   "ld.gold",
    "ld.bfd", "lld",     "lld-link", "link", "mold", "ld64.lld", "lto1"};

std::wstring Count(int count) {
    return Say(count == 1 ? T(L"{} compile") : T(L"{} compiles"), std::to_wstring(count));
}

// What the user reads when fewer at once can't help: `why`, then what to do.
[[noreturn]] void Stop(const std::wstring& why, const std::wstring& cause) {
    std::wstring advice = kMemoryAdvice;
    if (advice.empty())
        Fail(Say(L"{} Close other programs and run Setup again; what was built is kept.", why),
             cause);
    Fail(Say(L"{} Close other programs and run Setup again; what was built is kept. {}", why,
             advice),
         cause);
}

std::wstring Figures(unsigned cores, const os::Memory& memory) {
    using mosk::maintenance::SizeText;
    std::wstring figures = std::to_wstring(cores) + L" logical cores, ";
    figures += memory.available == 0 ? L"the available memory unknown"
                                     : SizeText(memory.available) + L" of memory available";
    if (memory.limit) figures += L" under Setup's limit of " + SizeText(memory.limit);
    return figures;
}

// A user's MAKEFLAGS without a jobserver it names: the build gets ours.
std::wstring OwnFlags(const std::wstring& flags) {
    std::wstring kept;
    std::size_t at = 0;
    while (at < flags.size()) {
        std::size_t end = flags.find(L' ', at);
        if (end == std::wstring::npos) end = flags.size();
        std::wstring word = flags.substr(at, end - at);
        if (!word.empty() && !word.starts_with(L"--jobserver-auth=") &&
            !word.starts_with(L"--jobserver-fds="))
            kept += word + L" ";
        at = end + 1;
    }
    return kept;
}

// Puts a variable back as the user had it.
void Restore(const wchar_t* name, const std::wstring& value, bool set) {
    if (set)
        os::SetEnv(name, value);
    else
        os::UnsetEnv(name);
}

// The status of a build that goes on with fewer compiles after running out
// of memory, whichever way the count reaches it.
void Continuing(int failed, int next) {
    Status(
        Say(L"The build ran out of memory with {} at once; continuing with {} (what was built "
            L"is kept).",
            Count(failed), std::to_wstring(next)));
}

std::wstring Duration(std::chrono::steady_clock::duration took) {
    long long seconds = std::chrono::duration_cast<std::chrono::seconds>(took).count();
    return seconds < 120 ? std::to_wstring(seconds) + L" s"
                         : std::to_wstring((seconds + 30) / 60) + L" min";
}

}  // namespace

int DefaultCount(unsigned cores) {
    return cores <= 1 ? 2 : cores == 2 ? 3 : static_cast<int>(cores) + 2;
}

bool Compiler(std::string_view name) {
    if (name.size() > 4 && (name.ends_with(".exe") || name.ends_with(".EXE")))
        name.remove_suffix(4);
    // A version after the name: "clang++-14", "g++-12", "gcc-12.2".
    std::size_t dash = name.find_last_of('-');
    if (dash != std::string_view::npos && dash + 1 < name.size() &&
        name.find_first_not_of("0123456789.", dash + 1) == std::string_view::npos)
        name = name.substr(0, dash);
    auto known = [](std::string_view word) {
        return std::find(std::begin(kCompilers), std::end(kCompilers), word) !=
               std::end(kCompilers);
    };
    // A target before it: "x86_64-w64-mingw32-g++".
    dash = name.find_last_of('-');
    return known(name) || (dash != std::string_view::npos && known(name.substr(dash + 1)));
}

int CompileCount(const std::vector<Leaf>& leaves) {
    return static_cast<int>(std::count_if(leaves.begin(), leaves.end(),
                                          [](const Leaf& leaf) { return Compiler(leaf.name); }));
}

int UserCount(const std::wstring& text) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of(L"0123456789") != std::wstring::npos)
        return 0;
    return static_cast<int>(std::wcstol(text.c_str(), nullptr, 10));
}

bool JobserverNinja(std::string_view version) {
    unsigned major = 0, minor = 0;
    std::size_t at = 0;
    auto number = [&](unsigned& n) {
        std::size_t from = at;
        for (; at < version.size() && version[at] >= '0' && version[at] <= '9'; ++at)
            n = std::min(n * 10 + static_cast<unsigned>(version[at] - '0'), 100000u);
        return at > from;
    };
    if (!number(major) || at >= version.size() || version[at++] != '.' || !number(minor))
        return false;
    return major > 1 || (major == 1 && minor >= 13);
}

int StartCount(int user, unsigned cores, const os::Memory& memory, std::wstring& why) {
    using mosk::maintenance::SizeText;
    int fallback = DefaultCount(cores);
    std::wstring figures = L" (" + Figures(cores, memory);
    if (user > 0) {
        why = L"Compiles at once: " + std::to_wstring(user) + L", your " + kVariable + figures +
              L").";
        return user;
    }
    figures += L", " + SizeText(kCompileBudget) + L" a compile)";
    std::uint64_t holds = memory.available / kCompileBudget;
    if (memory.available == 0 || holds >= static_cast<std::uint64_t>(fallback)) {
        why = L"Compiles at once: the build tool's default, " + std::to_wstring(fallback) +
              figures + L".";
        return 0;
    }
    int count = std::max(1, static_cast<int>(holds));
    why = L"Compiles at once: " + std::to_wstring(count) + L", what the memory holds" + figures +
          L"; the build tool's default would be " + std::to_wstring(fallback) + L".";
    return count;
}

int NextCount(int failed, std::uint64_t peak, std::uint64_t available) {
    int next = std::max(1, failed / 2);
    if (peak > 0 && available > 0)
        next = std::min<std::uint64_t>(next, std::max<std::uint64_t>(1, available / peak));
    return next;
}

Compiles::Compiles(const std::string& ninja) {
    user_ = os::GetEnv(kVariable, &userSet_);
    flags_ = os::GetEnv(kFlags, &flagsSet_);
    unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    default_ = DefaultCount(cores);
    os::Memory memory = os::MemoryNow();
    int user = userSet_ ? UserCount(user_) : 0;
    // Empty is unset to CMake too.
    if (userSet_ && user == 0 && !user_.empty()) {
        // CMake would refuse it, and its usage text would be all the user saw.
        Log(std::wstring(L"Your ") + kVariable + L" \"" + user_ +
            L"\" isn't a positive count of compiles: the build doesn't get it.");
        os::UnsetEnv(kVariable);
    }
    if (user == 0 && JobserverNinja(ninja)) {
        Serve(ninja, memory);
        if (jobs_) return;
    }
    std::wstring why;
    Set(StartCount(user, cores, memory, why));
    Log(why);
}

Compiles::~Compiles() {
    Restore(kVariable, user_, userSet_);
    Restore(kFlags, flags_, flagsSet_);
}

void Compiles::Serve(const std::string& ninja, const os::Memory& memory) {
    auto jobs = std::make_unique<os::Jobserver>(default_);
    if (!jobs->Ready()) {
        Log(L"Setup couldn't make a jobserver for the build: it chooses the count once.");
        return;
    }
    jobs_ = std::move(jobs);
    served_ = true;
    tokens_ = Tokens(default_);
    os::SetEnv(kFlags, OwnFlags(flags_) + L"--jobserver-auth=" + jobs_->Auth());
    Seen({});
    Log(L"Compiles at once: as memory allows, up to " + std::to_wstring(default_) + L" (Ninja " +
        Widen(ninja) + L" takes part in Setup's jobserver; " +
        Figures(std::max(1u, std::thread::hardware_concurrency()), memory) + L"; starting at " +
        std::to_wstring(out_ + 1) + L").");
}

// Hands out tokens, or takes free ones back, until `allowed` compiles may
// run: the build tool's own one and a token for each other.
void Compiles::Hand(int allowed) {
    int want = allowed - 1;
    if (want > out_) {
        jobs_->Give(want - out_);
        out_ = want;
    } else if (want < out_) {
        out_ -= jobs_->Take(out_ - want);
    }
}

void Compiles::Seen(const std::vector<Leaf>& leaves) {
    Reading now;
    std::map<long long, Watched> running;
    for (const Leaf& leaf : leaves) {
        if (!Compiler(leaf.name)) continue;
        ++now.compiles;
        now.used += leaf.memory;
        now.largest = std::max(now.largest, leaf.memory);
        Watched& seen = running[leaf.id];
        auto before = running_.find(leaf.id);
        if (before != running_.end()) seen = before->second;
        seen.peak = std::max(seen.peak, leaf.memory);
        ++seen.looks;
    }
    for (const auto& [id, seen] : running_)
        if (!running.count(id)) tokens_.Ended(seen.peak, seen.looks);
    running_ = std::move(running);
    most_ = std::max(most_, now.compiles);
    largest_ = std::max(largest_, now.largest);
    if (!jobs_) return;
    now.available = os::MemoryNow().available;
    int allowed = tokens_.Allowed(now);
    mostAllowed_ = std::max(mostAllowed_, allowed);
    Hand(allowed);
    auto at = std::chrono::steady_clock::now();
    // Every compile it may run is running, and memory allows fewer than the most.
    if (last_ != std::chrono::steady_clock::time_point{} && now.compiles >= allowed &&
        allowed < tokens_.Most())
        held_ += std::min<std::chrono::steady_clock::duration>(at - last_, std::chrono::seconds(1));
    last_ = at;
}

void Compiles::Set(int count) {
    count_ = count;
    if (count > 0) os::SetEnv(kVariable, std::to_wstring(count));
}

void Compiles::Fewer(int seen, std::uint64_t peak, const std::wstring& cause) {
    if (jobs_ && seen > mostAllowed_) {
        // Its script passes its own count (-j): the tokens don't reach it.
        Log(L"The build ran " + Count(seen) + L" at once where Setup's jobserver allowed " +
            std::to_wstring(mostAllowed_) + L": it takes no part in it.");
        jobs_.reset();
        Restore(kFlags, flags_, flagsSet_);
    }
    if (jobs_) {
        if (seen <= 1)
            Stop(L"The build ran out of memory, even compiling one file at a time.", cause);
        tokens_.Fewer(seen, peak);
        Continuing(seen, tokens_.Most());
        running_.clear();
        return;
    }
    int failed = count_ > 0 ? count_ : default_;
    // Asked for fewer, the script ran more: it chooses its own count.
    if (count_ > 0 && seen > count_)
        Stop(Say(L"The build ran out of memory with {} at once, though Setup asked for {}: the "
                 L"build script chooses its own count.",
                 Count(seen), std::to_wstring(count_)),
             cause);
    if (failed <= 1)
        Stop(seen == 1 ? T(L"The build ran out of memory, even compiling one file at a time.")
                       : T(L"The build ran out of memory, even when asked to compile one file at "
                           L"a time."),
             cause);
    int next = NextCount(failed, peak, os::MemoryNow().available);
    Continuing(failed, next);
    Set(next);
}

void Compiles::Summary(std::uint64_t peak) const {
    using mosk::maintenance::SizeText;
    std::uint64_t largest = largest_ ? largest_ : peak;
    if (most_ == 0) {
        if (largest) Log(L"The largest compile used " + SizeText(largest) + L".");
        return;
    }
    std::wstring line = L"Compiles ran up to " + std::to_wstring(most_) + L" at once";
    if (largest) line += L"; the largest used " + SizeText(largest);
    if (served_) line += L"; memory held compiles back for " + Duration(held_);
    Log(line + L".");
}

std::uint64_t Peak(std::uint64_t before) {
    std::uint64_t peak = os::ChildPeak();
    return peak > before ? peak : 0;
}

}  // namespace setup
