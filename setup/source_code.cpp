#include "source_code.h"

#include <regex>

#include "http.h"
#include "os.h"
#include "scan.h"
#include "urls.h"
#include "version.h"

namespace setup {

namespace {

const char kRepoPath[] = "/tallowfen/corvane-recomp.git";
const wchar_t kReleasePath[] = L"/repos/tallowfen/corvane-recomp/releases/latest";

std::wstring FallbackTag() {
    std::string version = kSetupVersion;
    return L"v" + Widen(version.substr(0, version.find(' ')));
}

bool IsClone(const fs::path& sourceDir) {
    return Exists(sourceDir / ".git");
}

// An empty folder may be cloned into; anything else there ends the run,
// saying what is in the way.
void CheckInTheWay(const fs::path& sourceDir) {
    std::error_code ec;
    auto status = fs::status(sourceDir, ec);
    if (ec || !fs::exists(status)) return;
    if (!fs::is_directory(status))
        Fail(PathText(sourceDir) + L" is a file, not a folder: move it away and try again.");
    bool empty = fs::is_empty(sourceDir, ec);
    if (ec || !empty)
        Fail(PathText(sourceDir) +
             L" already exists and isn't a copy of the project. Choose another folder.");
}

std::wstring Git(const fs::path& sourceDir, const std::wstring& args) {
    return L"git -C " + Quote(sourceDir) + L" " + args;
}

void Update(const fs::path& installDir, const fs::path& sourceDir, const std::wstring& tag) {
    Run(Git(sourceDir, L"fetch --tags --force origin"), installDir, {});
    std::string branch, changes;
    bool onBranch =
        GitOutput(sourceDir, L"symbolic-ref -q --short HEAD", branch) && !branch.empty();
    GitOutput(sourceDir, L"status --porcelain --untracked-files=no --ignore-submodules=all",
              changes);
    if (!changes.empty()) {
        Log(L"The source folder has changes of its own: building it as it is (no update).");
        return;
    }
    if (onBranch) {
        Log(L"The source folder is on branch " + Widen(branch) + L": updating that branch.");
        if (Run(Git(sourceDir, L"pull --ff-only"), installDir, {}) != 0)
            Log(L"(couldn't update the branch - building the code as it is)");
        return;
    }
    if (Run(Git(sourceDir, L"checkout --force " + tag), installDir, {}) == 0) {
        Log(L"Building release " + tag + L".");
        return;
    }
    if (Run(Git(sourceDir, L"checkout --force main"), installDir, {}) != 0 ||
        Run(Git(sourceDir, L"pull --ff-only"), installDir, {}) != 0)
        Log(L"(couldn't update - building the code as it is)");
}

}  // namespace

std::string RepoUrl() {
    return Narrow(urls::Github()) + kRepoPath;
}

bool SafeTag(const std::string& tag) {
    if (tag.empty() || tag.size() > 200 || tag[0] == '-') return false;
    for (char c : tag) {
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!letter && c != '.' && c != '_' && c != '/' && c != '+' && c != '-') return false;
    }
    return true;
}

std::wstring ReleaseTag() {
    static const std::regex pattern(R"re("tag_name"\s*:\s*"([^"]+)")re");
    std::string body;
    if (Get(urls::GithubApi() + kReleasePath, &body, nullptr, nullptr)) {
        // The tag goes onto a command line unquoted: only a plain one may.
        std::string tag = ScanFirst(body, "\"tag_name\"", pattern);
        if (SafeTag(tag)) return Widen(tag);
    }
    return FallbackTag();
}

void SourceCode(const fs::path& installDir, const fs::path& sourceDir) {
    PostProgress(-1);
    // Nobody can answer git's questions for a password: its children have no
    // terminal they may read from (on Linux reading it would stop git for
    // good), so git fails at once instead and the run reports that.
    os::SetEnv(L"GIT_TERMINAL_PROMPT", L"0");
    std::wstring tag = ReleaseTag();
    if (IsClone(sourceDir)) {
        Status(L"Updating the source code");
    } else {
        Status(L"Downloading the source code");
        CheckInTheWay(sourceDir);
        if (Run(L"git clone " + Widen(RepoUrl()) + L" " + Quote(sourceDir), installDir, {}) != 0)
            Fail(L"Couldn't download the source code from GitHub.");
    }
    Update(installDir, sourceDir, tag);
}

}  // namespace setup
