#include "build.h"

#include <climits>

#include "facts.h"

namespace setup {

namespace {

// The patterns are anchored at the start of the line; this much of it is
// plenty, and a bound keeps the matcher's recursion off the stack's limit.
constexpr std::size_t kLinePrefix = 256;

// A whole number that fits an int; false for anything longer or larger.
bool Number(const std::ssub_match& digits, int& value) {
    if (!digits.matched || digits.length() > 10) return false;
    long long n = std::stoll(digits.str());
    if (n > INT_MAX) return false;
    value = static_cast<int>(n);
    return true;
}

}  // namespace

BuildOutput::BuildOutput() : step_(R"(^\[([0-9]+)/([0-9]+)\])"), percent_(R"(^\s*([0-9]+)%)") {}

void BuildOutput::operator()(const std::string& line) const {
    if (line.compare(0, 4, "==> ") == 0) {
        PostText(kMsgStatus, Widen(line.substr(4)));
        PostProgress(-1);
        return;
    }
    std::string head = line.substr(0, kLinePrefix);
    std::smatch match;
    int count = 0, total = 0;
    if (std::regex_search(head, match, step_)) {
        if (!Number(match[2], total)) return;  // too large to be real: ignored
        if (total > 0) {
            if (Number(match[1], count) && count <= INT_MAX / 100)
                PostProgress(count * 100 / total);
            return;
        }
    }
    int percent = 0;
    if (std::regex_search(head, match, percent_) && Number(match[1], percent))
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
    if (Run(command, sourceDir, std::cref(output)) != 0)
        Fail(
            L"The build failed. The log above (also in setup.log) says why; Help > Report a bug "
            L"in the launcher, or a GitHub issue with setup.log attached, gets it looked at.");
    s_installed = sourceDir / "build" / "runtime" / "CorvaneLauncher.exe";
    if (!Exists(s_installed)) Fail(L"The build finished but CorvaneLauncher.exe isn't there.");
}

}  // namespace setup
