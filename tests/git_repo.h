// Real git repositories for the tests: a bare origin laid out like the
// project's repository on its host, and shell commands to shape clones.
#pragma once

#include <cstdlib>
#include <string>

#include "temp.h"

namespace setup::test {

// Runs a shell command with git's identity set; true when it exits with 0.
inline bool Sh(const std::string& command) {
    std::string line =
        "GIT_AUTHOR_NAME=t GIT_AUTHOR_EMAIL=t@t GIT_COMMITTER_NAME=t GIT_COMMITTER_EMAIL=t@t "
        "GIT_CONFIG_NOSYSTEM=1 sh -c '" +
        command + "' >/dev/null 2>&1";
    return std::system(line.c_str()) == 0;
}

// <mirror>/tallowfen/corvane-recomp.git with one commit on main, and a work
// clone to push further commits from.
class Origin {
  public:
    explicit Origin(const TempDir& dir)
        : mirror_(dir / "mirror"),
          bare_(mirror_ / "tallowfen/corvane-recomp.git"),
          work_(dir / "work") {
        std::filesystem::create_directories(bare_);
        Sh("git init -q --bare -b main " + bare_.string());
        Sh("git init -q -b main " + work_.string());
        Commit("README.md", "first\n");
        Sh("cd " + work_.string() + " && git remote add origin " + bare_.string() +
           " && git push -q origin main");
    }

    // Commits a file in the work clone and pushes it.
    void Commit(const std::string& file, const std::string& text) {
        WriteBytes(work_ / file, text);
        Sh("cd " + work_.string() + " && git add -A && git commit -qm " + file +
           " && (git push -q origin main || true)");
    }
    void Tag(const std::string& tag) {
        Sh("cd " + work_.string() + " && git tag " + tag + " && git push -q origin " + tag);
    }

    const std::filesystem::path& mirror() const { return mirror_; }
    const std::filesystem::path& work() const { return work_; }

  private:
    std::filesystem::path mirror_, bare_, work_;
};

}  // namespace setup::test
