#include "build.h"

#include <algorithm>
#include <climits>

#include "facts.h"

namespace setup {

namespace {

// The patterns are anchored at the start of the line and must end within
// this much of it: a huge line costs no more than a short one.
constexpr std::size_t kLinePrefix = 256;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// White space as the C locale has it.
bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The end of the run of digits that starts at `at`.
const char* SkipDigits(const char* at, const char* end) {
    while (at < end && IsDigit(*at)) ++at;
    return at;
}

// The digits in [from, to) as an int; false for anything longer or larger.
bool Number(const char* from, const char* to, int& value) {
    if (to - from > 10) return false;
    long long n = 0;
    for (; from < to; ++from) n = n * 10 + (*from - '0');
    if (n > INT_MAX) return false;
    value = static_cast<int>(n);
    return true;
}

}  // namespace

void BuildOutput::operator()(const std::string& line) {
    const char* at = line.data();
    const char* end = at + std::min(line.size(), kLinePrefix);
    if (at == end) return;
    if (*at == '=') {
        if (line.compare(0, 4, "==> ") != 0) return;
        PostText(kMsgStatus, Widen(line.substr(4)));
        Post(-1);
        return;
    }
    if (*at == '[') {
        // "[count/total]" at the very start.
        const char* slash = SkipDigits(at + 1, end);
        if (slash == at + 1 || slash == end || *slash != '/') return;
        const char* close = SkipDigits(slash + 1, end);
        if (close == slash + 1 || close == end || *close != ']') return;
        int count = 0, total = 0;
        // A total too large to be real, or none, says nothing.
        if (!Number(slash + 1, close, total) || total == 0) return;
        if (Number(at + 1, slash, count) && count <= INT_MAX / 100) Post(count * 100 / total);
        return;
    }
    Percent(at, end);
}

// White space, digits and "%" at the start.
void BuildOutput::Percent(const char* at, const char* end) {
    while (at < end && IsSpace(*at)) ++at;
    const char* digits = SkipDigits(at, end);
    int percent = 0;
    if (digits > at && digits < end && *digits == '%' && Number(at, digits, percent)) Post(percent);
}

// A figure equal to the last one posted changes nothing on the window: a
// flood of build steps repeats each percentage thousands of times.
void BuildOutput::Post(int percent) {
    if (percent == posted_) return;
    posted_ = percent;
    PostProgress(percent);
}

std::wstring BuildCommand(const fs::path& source, bool extracted) {
    std::wstring command = kBuildCommand;
    if (!extracted) command += L" --iso " + Quote(source);
    return command;
}

void Build(const fs::path& sourceDir, const fs::path& source, bool extracted) {
    // An update rebuilds only what changed since the last build.
    Status(extracted ? L"Building (an update rebuilds only what changed: usually minutes)"
                     : L"Building (the first build takes 10-30 minutes)");
    std::wstring command = BuildCommand(source, extracted);
    BuildOutput output;
    if (Run(command, sourceDir, std::ref(output)) != 0)
        Fail(
            L"The build failed. The log above (also in setup.log) says why; Help > Report a bug "
            L"in the launcher, or a GitHub issue with setup.log attached, gets it looked at.");
    s_installed = sourceDir / "build" / "runtime" / "CorvaneLauncher.exe";
    if (!Exists(s_installed)) Fail(L"The build finished but CorvaneLauncher.exe isn't there.");
}

}  // namespace setup
