#include "compiles.h"

#include <algorithm>
#include <cwchar>
#include <thread>

#include "facts.h"
#include "maintenance.h"
#include "setup.h"

namespace setup {

namespace {

constexpr wchar_t kVariable[] = L"CMAKE_BUILD_PARALLEL_LEVEL";

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

}  // namespace

int DefaultCount(unsigned cores) {
    return cores <= 1 ? 2 : cores == 2 ? 3 : static_cast<int>(cores) + 2;
}

int StartCount(int user, unsigned cores, const os::Memory& memory, std::wstring& why) {
    using mosk::maintenance::SizeText;
    int fallback = DefaultCount(cores);
    std::wstring figures = L" (" + std::to_wstring(cores) + L" logical cores, ";
    figures += memory.available == 0 ? L"the available memory unknown"
                                     : SizeText(memory.available) + L" of memory available";
    if (memory.limit) figures += L" under Setup's limit of " + SizeText(memory.limit);
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

Compiles::Compiles() {
    user_ = os::GetEnv(kVariable, &userSet_);
    unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    default_ = DefaultCount(cores);
    std::wstring why;
    int user = userSet_ ? static_cast<int>(std::wcstol(user_.c_str(), nullptr, 10)) : 0;
    Set(StartCount(user, cores, os::MemoryNow(), why));
    Log(why);
}

Compiles::~Compiles() {
    if (userSet_)
        os::SetEnv(kVariable, user_);
    else
        os::UnsetEnv(kVariable);
}

void Compiles::Set(int count) {
    count_ = count;
    if (count > 0) os::SetEnv(kVariable, std::to_wstring(count));
}

void Compiles::Fewer(int seen, std::uint64_t peak, const std::wstring& cause) {
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
    Status(
        Say(L"The build ran out of memory with {} at once; continuing with {} (what was built "
            L"is kept).",
            Count(failed), std::to_wstring(next)));
    Set(next);
}

std::uint64_t LogPeak(std::uint64_t before) {
    std::uint64_t peak = os::ChildPeak();
    if (peak <= before) return 0;
    Log(L"The largest compile used " + mosk::maintenance::SizeText(peak) + L".");
    return peak;
}

}  // namespace setup
