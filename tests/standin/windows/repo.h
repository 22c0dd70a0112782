// The stand-in git's repositories: plain folders that a test can lay out and
// read without git. The project's repository (the origin) and the .git
// folder of a clone have the same shape:
//
//   HEAD                    "ref: refs/heads/NAME" on a branch, else a revision id
//   config                  in a clone: "url = " and the origin's URL
//   refs/heads/NAME         a revision id, one line; so are refs/tags/NAME and,
//   refs/remotes/origin/NAME  in a clone, what was fetched of the origin's branches
//   revs/ID/parent          the id of the revision it follows (none for the first)
//   revs/ID/subject         its one-line description
//   revs/ID/tree/...        every file of the revision
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "io.h"

namespace standin {

class Repo {
  public:
    explicit Repo(fs::path dir) : dir_(std::move(dir)) {}

    bool Valid() const;
    const fs::path& dir() const { return dir_; }

    std::optional<std::string> Ref(const std::string& name) const;
    void SetRef(const std::string& name, const std::string& id) const;
    // The names below a prefix such as "refs/tags/", without it.
    std::vector<std::string> Refs(const std::string& prefix) const;

    std::string Head() const;
    void SetHead(const std::string& head) const;
    std::optional<std::string> Branch() const;  // the branch HEAD is on
    std::optional<std::string> HeadId() const;

    bool Has(const std::string& id) const;
    std::optional<std::string> Parent(const std::string& id) const;
    std::string Subject(const std::string& id) const;
    fs::path Tree(const std::string& id) const;
    // The revision whose id starts with this (four characters at least), if one does.
    std::optional<std::string> Find(const std::string& prefix) const;
    // Whether `ancestor` is `id` or lies on its line of parents.
    bool Reaches(std::string id, const std::string& ancestor) const;
    // The files of a revision, as relative paths, in order.
    std::vector<fs::path> Files(const std::string& id) const;
    void Take(const Repo& from, const std::string& id) const;

    std::wstring Url() const;
    void SetUrl(const std::wstring& url) const;

  private:
    fs::path dir_;
};

std::string Short(const std::string& id);
std::string Read(const fs::path& file);  // the first line
bool SameFile(const fs::path& a, const fs::path& b);

}  // namespace standin
