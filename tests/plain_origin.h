// The project's repository as the Windows stand-in git keeps it (the layout
// is described in tests/standin/windows/repo.h): plain folders of revisions
// that a test makes and extends without git, which Wine can't run.
#pragma once

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "temp.h"

namespace setup::test {

class PlainOrigin {
  public:
    // <mirror>/tallowfen/corvane-recomp.git with one revision on main: the
    // files of the folder `files`, or a README.md when none is given.
    explicit PlainOrigin(const std::filesystem::path& mirror,
                         const std::filesystem::path& files = {})
        : mirror_(mirror), bare_(mirror / "tallowfen" / "corvane-recomp.git") {
        namespace fs = std::filesystem;
        fs::create_directories(bare_ / "refs" / "heads");
        Line(bare_ / "HEAD", "ref: refs/heads/main");
        std::string id = NewId();
        if (files.empty())
            WriteBytes(Tree(id) / "README.md", "first\n");
        else
            Copy(files, Tree(id));
        Line(bare_ / "revs" / id / "subject", "The game");
        Line(bare_ / "refs" / "heads" / "main", id);
    }

    // A revision on main that adds or changes one file.
    void Commit(const std::string& file, const std::string& text) {
        namespace fs = std::filesystem;
        std::string parent = Main(), id = NewId();
        Copy(Tree(parent), Tree(id));
        WriteBytes(Tree(id) / file, text);
        Line(bare_ / "revs" / id / "parent", parent);
        Line(bare_ / "revs" / id / "subject", file);
        Line(bare_ / "refs" / "heads" / "main", id);
    }

    // Tags main's revision.
    void Tag(const std::string& tag) { Line(bare_ / "refs" / "tags" / tag, Main()); }

    std::string Main() const {
        std::string id = ReadBytes(bare_ / "refs" / "heads" / "main");
        return id.substr(0, id.find('\n'));
    }

    // The base of the --github option that reaches it: a file URL.
    std::wstring Base() const { return L"file:///" + mirror_.generic_wstring(); }

  private:
    std::filesystem::path Tree(const std::string& id) const { return bare_ / "revs" / id / "tree"; }

    // File by file into a new folder: the MinGW library's recursive copy
    // refuses a folder that is already there.
    static void Copy(const std::filesystem::path& from, const std::filesystem::path& to) {
        namespace fs = std::filesystem;
        fs::create_directories(to);
        for (const auto& entry : fs::recursive_directory_iterator(from)) {
            fs::path target = to / fs::relative(entry.path(), from);
            if (entry.is_directory())
                fs::create_directories(target);
            else
                fs::copy_file(entry.path(), target);
        }
    }

    static void Line(const std::filesystem::path& file, const std::string& text) {
        WriteBytes(file, text + "\n");
    }

    // Forty hexadecimal digits, as git's ids have.
    static std::string NewId() {
        std::random_device seed;
        char id[41];
        std::snprintf(id, sizeof id, "%08x%08x%08x%08x%08x", seed(), seed(), seed(), seed(),
                      seed());
        return id;
    }

    std::filesystem::path mirror_, bare_;
};

}  // namespace setup::test
