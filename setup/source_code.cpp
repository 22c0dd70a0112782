#include "source_code.h"

#include <regex>

#include "files.h"
#include "http.h"
#include "last_error.h"
#include "os.h"
#include "proxy.h"
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
        Fail(Say(L"{} is a file, not a folder: move it away and try again.", PathText(sourceDir)));
    if (!Empty(sourceDir))
        Fail(Say(L"{} already exists and isn't a copy of the project. Choose another folder.",
                 PathText(sourceDir)));
}

std::wstring Git(const fs::path& sourceDir, const std::wstring& args) {
    return GitCommand(sourceDir) + (L"-C " + Quote(sourceDir) + L" " + args);
}

// What a clone stopped half-way leaves when it clones in place, as earlier
// versions of this program did: a repository folder with no index and no
// commit, and nothing beside it. Nothing of the user's can be in there.
bool Unfinished(const fs::path& sourceDir) {
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(sourceDir / ".git", ec))) return false;
    if (Exists(sourceDir / ".git" / "index")) return false;
    bool others = false;
    bool listed = os::Walk(sourceDir, 0, [&](const fs::path& path, os::Kind) {
        others = path.filename() != ".git";
        return !others;
    });
    if (!listed || others) return false;
    std::string head;
    return !GitOutput(sourceDir, L"rev-parse --verify -q HEAD^{commit}", head);
}

// Clones beside the source folder and moves the clone in only once it is
// whole, so that a clone stopped half-way is never taken for one.
void Clone(const fs::path& installDir, const fs::path& sourceDir) {
    fs::path staging = sourceDir;
    staging += ".partial";
    DeleteOrFail(staging);  // what a clone stopped half-way left
    std::wstring url = Widen(RepoUrl());
    LastError git;
    if (Run(GitCommand(sourceDir) + GitProxy(url) + L"clone " + url + L" " + Quote(staging),
            installDir, git.Handler()) != 0)
        Fail(T(L"Couldn't download the source code from GitHub."), git.Cause());
    if (!Exists(staging))
        Fail(Say(L"git ended without making the clone in {}.", PathText(staging)));
    // Only an empty folder can be there (see CheckInTheWay), and only while
    // nothing of the user's has come into it since.
    if (Empty(sourceDir)) DeleteOrFail(sourceDir);
    MoveOrFail(staging, sourceDir, T(L"the source code"));
}

// Brings the clone up to date; empty when it was, otherwise why it wasn't.
std::wstring Update(const fs::path& installDir, const fs::path& sourceDir,
                    const std::wstring& tag) {
    Run(GitCommand(sourceDir) + GitProxy(Widen(RepoUrl())) + L"-C " + Quote(sourceDir) +
            L" fetch --tags --force origin",
        installDir, {});
    std::string branch, changes;
    bool onBranch =
        GitOutput(sourceDir, L"symbolic-ref -q --short HEAD", branch) && !branch.empty();
    GitOutput(sourceDir, L"status --porcelain --untracked-files=no --ignore-submodules=all",
              changes);
    const wchar_t* const kNotUpdated =
        T(L"The source code couldn't be updated: the code as it was has been built.");
    if (!changes.empty()) {
        Log(L"The source folder has changes of its own: building it as it is (no update).");
        return T(L"The source code has changes of its own: it was built as it is, not updated.");
    }
    if (onBranch) {
        Log(L"The source folder is on branch " + Widen(branch) + L": updating that branch.");
        if (Run(Git(sourceDir, L"pull --ff-only"), installDir, {}) == 0) return {};
        Log(L"(couldn't update the branch - building the code as it is)");
        return kNotUpdated;
    }
    if (Run(Git(sourceDir, L"checkout --force " + tag), installDir, {}) == 0) {
        Log(L"Building release " + tag + L".");
        return {};
    }
    if (Run(Git(sourceDir, L"checkout --force main"), installDir, {}) == 0 &&
        Run(Git(sourceDir, L"pull --ff-only"), installDir, {}) == 0)
        return {};
    Log(L"(couldn't update - building the code as it is)");
    return kNotUpdated;
}

// The commit the clone is at, as people name it: its tag where it is at one,
// else its short id; empty when git can't say.
std::wstring Revision(const fs::path& sourceDir) {
    std::string name;
    if (GitOutput(sourceDir, L"tag --points-at HEAD", name) && !name.empty()) return Widen(name);
    if (GitOutput(sourceDir, L"rev-parse --short HEAD", name)) return Widen(name);
    return {};
}

// What an update did, for setup.log and the summary.
std::wstring Updated(const std::wstring& before, const std::wstring& after) {
    if (before.empty() || after.empty()) return {};
    if (before == after) return T(L"The source code was already up to date.");
    return Say(L"The source code was updated from {} to {}.", before, after);
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
    Answer lookup;
    lookup.lookup = true;
    if (Get(urls::GithubApi() + kReleasePath, &body, nullptr, nullptr, &lookup)) {
        // The tag goes onto a command line unquoted: only a plain one may.
        std::string tag = ScanFirst(body, "\"tag_name\"", pattern);
        if (SafeTag(tag)) return Widen(tag);
    }
    return FallbackTag();
}

std::wstring SourceCode(const fs::path& installDir, const fs::path& sourceDir, bool beside) {
    if (!beside) PostProgress(-1);
    // Nobody can answer git's questions for a password: its children have no
    // terminal they may read from (on Linux reading it would stop git for
    // good), so git fails at once instead and the run reports that.
    os::SetEnv(L"GIT_TERMINAL_PROMPT", L"0");
    std::wstring tag = ReleaseTag();
    if (IsClone(sourceDir) && Unfinished(sourceDir)) {
        Log(L"The source folder holds a download that never finished: downloading it again.");
        DeleteOrFail(sourceDir);
    }
    if (!IsClone(sourceDir)) {
        Note(T(L"Downloading the source code"), beside);
        CheckInTheWay(sourceDir);
        Clone(installDir, sourceDir);
        Update(installDir, sourceDir, tag);
        return {};
    }
    Note(T(L"Updating the source code"), beside);
    std::wstring before = Revision(sourceDir);
    std::wstring outcome = Update(installDir, sourceDir, tag);
    if (outcome.empty()) outcome = Updated(before, Revision(sourceDir));
    if (!outcome.empty()) Log(outcome);
    return outcome;
}

}  // namespace setup
