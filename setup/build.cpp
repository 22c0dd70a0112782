#include "build.h"

#include <algorithm>
#include <climits>

#include "facts.h"
#include "maintenance.h"

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
std::size_t SkipDigits(const std::string& line, std::size_t at, std::size_t limit) {
    while (at < limit && IsDigit(line[at])) ++at;
    return at;
}

// The digits in [from, to) as an int; false for anything longer or larger.
bool Number(const std::string& line, std::size_t from, std::size_t to, int& value) {
    if (to - from > 10) return false;
    long long n = 0;
    for (std::size_t i = from; i < to; ++i) n = n * 10 + (line[i] - '0');
    if (n > INT_MAX) return false;
    value = static_cast<int>(n);
    return true;
}

// "[count/total]" at the very start: true with the digits' bounds.
bool Step(const std::string& line, std::size_t limit, std::size_t (&digits)[4]) {
    if (limit == 0 || line[0] != '[') return false;
    digits[0] = 1;
    digits[1] = SkipDigits(line, 1, limit);
    if (digits[1] == 1 || digits[1] >= limit || line[digits[1]] != '/') return false;
    digits[2] = digits[1] + 1;
    digits[3] = SkipDigits(line, digits[2], limit);
    return digits[3] > digits[2] && digits[3] < limit && line[digits[3]] == ']';
}

// White space, digits and "%" at the start: true with the digits' bounds.
bool Percent(const std::string& line, std::size_t limit, std::size_t (&digits)[2]) {
    std::size_t at = 0;
    while (at < limit && IsSpace(line[at])) ++at;
    digits[0] = at;
    digits[1] = SkipDigits(line, at, limit);
    return digits[1] > digits[0] && digits[1] < limit && line[digits[1]] == '%';
}

}  // namespace

void BuildOutput::operator()(const std::string& line) const {
    if (line.compare(0, 4, "==> ") == 0) {
        PostText(kMsgStatus, Widen(line.substr(4)));
        // A stage's length is unknown, but the last one's work is complete.
        PostProgress(line.compare(4, std::string::npos, "Done") == 0 ? 100 : -1);
        return;
    }
    std::size_t limit = std::min(line.size(), kLinePrefix);
    int count = 0, total = 0;
    std::size_t step[4];
    if (Step(line, limit, step)) {
        if (!Number(line, step[2], step[3], total)) return;  // too large to be real: ignored
        if (total > 0) {
            if (Number(line, step[0], step[1], count) && count <= INT_MAX / 100)
                PostProgress(count * 100 / total, Steps(count, total));
            return;
        }
    }
    int percent = 0;
    std::size_t digits[2];
    if (Percent(line, limit, digits) && Number(line, digits[0], digits[1], percent))
        PostProgress(percent, kBuildPercent);
}

std::wstring BuildCommand(const fs::path& source, bool extracted) {
    std::wstring command = kBuildCommand;
    if (!extracted) command += L" --iso " + Quote(source);
    return command;
}

void Build(const fs::path& sourceDir, const fs::path& source, bool extracted) {
    // Only the last build's leftovers let an update rebuild just what
    // changed: once "Free up space" has deleted them, it starts over.
    bool rebuild = !mosk::maintenance::Leftovers(sourceDir).paths.empty();
    Status(rebuild ? L"Building (an update rebuilds only what changed: usually minutes)"
                   : L"Building (the first build takes 10-30 minutes)");
    std::wstring command = BuildCommand(source, extracted);
    BuildOutput output;
    if (Run(command, sourceDir, std::cref(output)) != 0)
        Fail(
            L"The build failed. The log above (also in setup.log) says why; Help > Report a bug "
            L"in the launcher, or a GitHub issue with setup.log attached, gets it looked at.");
    s_installed = sourceDir / "build" / "runtime" / "CorvaneLauncher.exe";
    if (!Exists(s_installed)) Fail(L"The build finished but CorvaneLauncher.exe isn't there.");
}

}  // namespace setup
