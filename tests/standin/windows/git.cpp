// Stands in for git as the setup program uses it, on the repositories of
// repo.h: clone, fetch, symbolic-ref, status, pull --ff-only, checkout
// --force and --version. Messages go where git writes them (progress and
// errors to standard error) and the exit codes are git's: 0, 1 for a refused
// command, 128 for a fatal error.
#include <algorithm>
#include <cstdio>
#include <set>

#include "repo.h"
#include "standin.h"

namespace standin {

namespace {

constexpr int kFatal = 128;

int Fatal(const std::wstring& message) {
    Complain(L"fatal: " + message);
    return kFatal;
}

// A clone URL as a folder: file:///C:/x, file://C:\x and a plain path.
fs::path FromUrl(std::wstring url) {
    if (url.rfind(L"file://", 0) == 0) url.erase(0, 7);
    if (url.size() > 2 && url[0] == L'/' && url[2] == L':') url.erase(0, 1);
    return fs::path(url).make_preferred();
}

std::string Names(const std::vector<fs::path>& files) {
    std::string text;
    for (const auto& file : files) {
        text += '\t';
        text += Utf8(file.generic_wstring());
        text += '\n';
    }
    return text;
}

// The tracked files the work tree has changed against a revision.
std::vector<std::string> Changes(const Repo& repo, const fs::path& work, const std::string& id) {
    std::vector<std::string> lines;
    for (const auto& file : repo.Files(id)) {
        std::error_code ec;
        std::string name = Utf8(file.generic_wstring());
        if (!fs::exists(work / file, ec))
            lines.push_back(" D " + name);
        else if (!SameFile(work / file, repo.Tree(id) / file))
            lines.push_back(" M " + name);
    }
    return lines;
}

// Files that differ between two revisions (added, changed or removed).
std::vector<fs::path> Differing(const Repo& repo, const std::string& a, const std::string& b) {
    std::vector<fs::path> files = repo.Files(a), other = repo.Files(b), differ;
    std::set<fs::path> all(files.begin(), files.end());
    all.insert(other.begin(), other.end());
    for (const auto& file : all)
        if (!SameFile(repo.Tree(a) / file, repo.Tree(b) / file)) differ.push_back(file);
    return differ;
}

// Makes the work tree hold revision `to` where it held `from`: files of
// `from` that `to` lacks go, every file of `to` is written.
void Switch(const Repo& repo, const fs::path& work, const std::optional<std::string>& from,
            const std::string& to) {
    std::vector<fs::path> keep = repo.Files(to);
    if (from)
        for (const auto& file : repo.Files(*from))
            if (std::find(keep.begin(), keep.end(), file) == keep.end()) fs::remove(work / file);
    for (const auto& file : keep) {
        fs::create_directories((work / file).parent_path());
        CopyOver(repo.Tree(to) / file, work / file);
    }
}

// Sets a clone's ref to a revision of the origin, taking the revisions on
// its line that the clone lacks; returns what the ref held before.
std::optional<std::string> Follow(const Repo& origin, const Repo& clone, const std::string& ref,
                                  const std::string& id) {
    for (auto at = std::optional<std::string>(id); at && !clone.Has(*at); at = origin.Parent(*at))
        clone.Take(origin, *at);
    auto had = clone.Ref(ref);
    clone.SetRef(ref, id);
    return had;
}

// Takes the origin's branches (as origin/NAME) and tags; returns the lines
// git shows for what changed.
std::vector<std::string> Take(const Repo& origin, const Repo& clone) {
    std::vector<std::string> lines;
    for (const auto& branch : origin.Refs("refs/heads/")) {
        std::string id = *origin.Ref("refs/heads/" + branch);
        auto had = Follow(origin, clone, "refs/remotes/origin/" + branch, id);
        if (!had)
            lines.push_back(" * [new branch]      " + branch + " -> origin/" + branch);
        else if (*had != id)
            lines.push_back("   " + Short(*had) + ".." + Short(id) + "  " + branch + " -> origin/" +
                            branch);
    }
    for (const auto& tag : origin.Refs("refs/tags/")) {
        auto had = Follow(origin, clone, "refs/tags/" + tag, *origin.Ref("refs/tags/" + tag));
        if (!had) lines.push_back(" * [new tag]         " + tag + " -> " + tag);
    }
    return lines;
}

int Clone(const std::wstring& url, const fs::path& work) {
    Repo origin(FromUrl(url));
    if (!origin.Valid()) return Fatal(L"repository '" + url + L"' does not exist");
    std::error_code ec;
    if (fs::exists(work, ec) && !fs::is_empty(work, ec))
        return Fatal(L"destination path '" + work.native() +
                     L"' already exists and is not an empty directory.");
    Complain(L"Cloning into '" + work.native() + L"'...");
    Repo clone(work / ".git");
    fs::create_directories(clone.dir() / "refs");
    clone.SetUrl(url);
    Take(origin, clone);
    std::string branch = origin.Branch().value_or("main");
    auto id = clone.Ref("refs/remotes/origin/" + branch);
    clone.SetHead("ref: refs/heads/" + branch);
    if (!id) {
        Complain("warning: You appear to have cloned an empty repository.");
        return 0;
    }
    clone.SetRef("refs/heads/" + branch, *id);
    Switch(clone, work, std::nullopt, *id);
    Scanned(work);
    return 0;
}

// A command inside a clone's work tree.
class InClone {
  public:
    explicit InClone(fs::path work) : work_(std::move(work)), clone_(work_ / ".git") {}

    // 0 when the folder is a clone, else git's exit code after its message.
    int Check() const {
        std::error_code ec;
        if (!fs::is_directory(work_, ec))
            return Fatal(L"cannot change to '" + work_.native() + L"': No such file or directory");
        if (!clone_.Valid())
            return Fatal(L"not a git repository (or any of the parent directories): .git");
        return 0;
    }

    int Fetch() const {
        std::wstring url = clone_.Url();
        Repo origin(FromUrl(url));
        if (!origin.Valid()) {
            Complain(L"fatal: '" + url + L"' does not appear to be a git repository");
            return Fatal(L"Could not read from remote repository.");
        }
        std::vector<std::string> lines = Take(origin, clone_);
        if (!lines.empty()) Complain(L"From " + url);
        for (const auto& line : lines) Complain(line);
        return 0;
    }

    int SymbolicRef() const {
        auto branch = clone_.Branch();
        if (!branch) return 1;  // -q: a detached HEAD fails without a word
        Say(*branch);
        return 0;
    }

    int ShortHead() const {
        auto id = clone_.HeadId();
        if (!id) return Fatal(L"ambiguous argument 'HEAD': unknown revision");
        Say(Short(*id));
        return 0;
    }

    int TagsAtHead() const {
        auto id = clone_.HeadId();
        if (!id) return Fatal(L"malformed object name HEAD");
        for (const auto& tag : clone_.Refs("refs/tags/"))
            if (clone_.Ref("refs/tags/" + tag) == id) Say(tag);
        return 0;
    }

    int Status() const {
        if (auto id = clone_.HeadId())
            for (const auto& line : Changes(clone_, work_, *id)) Say(line);
        return 0;
    }

    int Pull() const {
        auto branch = clone_.Branch();
        if (!branch) {
            Complain("You are not currently on a branch.");
            Complain("Please specify which branch you want to merge with.");
            return 1;
        }
        if (Fetch() != 0) return 1;  // as git pull ends when its fetch fails
        auto upstream = clone_.Ref("refs/remotes/origin/" + *branch);
        if (!upstream) {
            Complain("There is no tracking information for the current branch.");
            return 1;
        }
        std::string local = clone_.Ref("refs/heads/" + *branch).value_or("");
        if (local == *upstream) {
            Say("Already up to date.");
            return 0;
        }
        if (local.empty() || !clone_.Reaches(*upstream, local)) {
            Complain("hint: Diverging branches can't be fast-forwarded, you need to either:");
            return Fatal(L"Not possible to fast-forward, aborting.");
        }
        std::vector<fs::path> differ = Differing(clone_, local, *upstream), edited;
        for (const auto& file : differ)
            if (fs::exists(work_ / file) && !SameFile(work_ / file, clone_.Tree(local) / file))
                edited.push_back(file);
        Say("Updating " + Short(local) + ".." + Short(*upstream));
        if (!edited.empty()) {
            std::string message =
                "error: Your local changes to the following files would be overwritten by merge:\n";
            message += Names(edited);
            message += "Please commit your changes or stash them before you merge.";
            Complain(message);
            Complain("Aborting");
            return 1;
        }
        Say("Fast-forward");
        Switch(clone_, work_, local, *upstream);
        clone_.SetRef("refs/heads/" + *branch, *upstream);
        char summary[64];
        std::snprintf(summary, sizeof summary, " %zu file%s changed", differ.size(),
                      differ.size() == 1 ? "" : "s");
        Say(summary);
        return 0;
    }

    int Checkout(const std::string& name) const {
        auto from = clone_.HeadId();
        if (auto id = clone_.Ref("refs/heads/" + name)) return Attach(name, *id, from);
        if (auto id = clone_.Ref("refs/remotes/origin/" + name)) {
            clone_.SetRef("refs/heads/" + name, *id);
            Complain("branch '" + name + "' set up to track 'origin/" + name + "'.");
            return Attach(name, *id, from);
        }
        auto id = clone_.Ref("refs/tags/" + name);
        if (!id) id = clone_.Find(name);
        if (!id) {
            Complain("error: pathspec '" + name + "' did not match any file(s) known to git");
            return 1;
        }
        Switch(clone_, work_, from, *id);
        clone_.SetHead(*id);
        Complain("HEAD is now at " + Short(*id) + " " + clone_.Subject(*id));
        return 0;
    }

  private:
    int Attach(const std::string& branch, const std::string& id,
               const std::optional<std::string>& from) const {
        bool already = clone_.Branch() == branch;
        Switch(clone_, work_, from, id);
        clone_.SetHead("ref: refs/heads/" + branch);
        Complain((already ? "Already on '" : "Switched to branch '") + branch + "'");
        return 0;
    }

    fs::path work_;
    Repo clone_;
};

bool Is(const Args& args, std::initializer_list<const wchar_t*> words) {
    return std::equal(args.begin(), args.end(), words.begin(), words.end());
}

int InFolder(const fs::path& work, const Args& args) {
    InClone clone(work);
    if (int code = clone.Check()) return code;
    if (Is(args, {L"fetch", L"--tags", L"--force", L"origin"})) return clone.Fetch();
    if (Is(args, {L"symbolic-ref", L"-q", L"--short", L"HEAD"})) return clone.SymbolicRef();
    if (Is(args, {L"status", L"--porcelain", L"--untracked-files=no", L"--ignore-submodules=all"}))
        return clone.Status();
    if (Is(args, {L"pull", L"--ff-only"})) return clone.Pull();
    if (Is(args, {L"rev-parse", L"--short", L"HEAD"})) return clone.ShortHead();
    if (Is(args, {L"tag", L"--points-at", L"HEAD"})) return clone.TagsAtHead();
    if (args.size() == 3 && args[0] == L"checkout" && args[1] == L"--force")
        return clone.Checkout(Utf8(args[2]));
    Complain(L"git (stand-in): not one of the commands it knows: " +
             (args.empty() ? std::wstring() : args[0]));
    return 1;
}

}  // namespace

int Git(Args args) {
    if (!args.empty() && args[0] == L"--scan") return Scan(args);
    fs::path work = fs::current_path();
    // -c settings (the proxy) mean nothing to plain-folder repositories.
    while (args.size() >= 2 && (args[0] == L"-C" || args[0] == L"-c")) {
        if (args[0] == L"-C") work = work / args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (Is(args, {L"--version"})) {
        Say("git version 2.47.1.windows.1");
        return 0;
    }
    if (args.size() == 3 && args[0] == L"clone") return Clone(args[1], work / args[2]);
    return InFolder(work, args);
}

}  // namespace standin
