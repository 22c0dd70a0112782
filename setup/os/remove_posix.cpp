// Deleting on Linux as rm does: every folder is opened once and emptied by
// name relative to it (unlinkat), and a run of files in one folder (the build
// leftovers come so, in the order the walk met them) shares one open folder.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "os.h"
#include "setup.h"

namespace setup::os {

namespace {

class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(Fd&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    int get() const { return fd_; }

  private:
    int fd_;
};

// Empties the folder `name` in `parent` and removes it; false if anything stayed.
bool Tree(int parent, const char* name) {
    bool ok = true;
    {
        int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) return errno == ENOENT;
        DIR* dir = fdopendir(fd);
        if (!dir) {
            close(fd);
            return false;
        }
        int self = dirfd(dir);
        for (;;) {
            errno = 0;
            dirent* entry = readdir(dir);
            if (!entry) {
                ok = ok && errno == 0;
                break;
            }
            const char* n = entry->d_name;
            if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
            if (entry->d_type == DT_DIR) {
                ok = Tree(self, n) && ok;
            } else if (unlinkat(self, n, 0) != 0) {
                // An entry of unknown type may be a folder after all.
                ok = (errno == EISDIR ? Tree(self, n) : errno == ENOENT) && ok;
            }
        }
        closedir(dir);
    }
    return unlinkat(parent, name, AT_REMOVEDIR) == 0 ? ok : (errno == ENOENT && ok);
}

}  // namespace

bool Remove(const std::vector<std::filesystem::path>& paths) {
    bool ok = true;
    std::string openName;
    Fd open;
    int openError = 0;
    for (const std::filesystem::path& path : paths) {
        const std::string& text = path.native();
        std::size_t slash = text.find_last_of('/');
        const char* name = text.c_str() + (slash == std::string::npos ? 0 : slash + 1);
        if (!*name || !std::strcmp(name, ".") || !std::strcmp(name, "..")) {
            std::error_code ec;  // no name to delete by: the long way
            std::filesystem::remove_all(path, ec);
            ok = ok && !ec;
            continue;
        }
        std::string folder = slash == std::string::npos ? std::string(".")
                             : slash == 0               ? std::string("/")
                                                        : text.substr(0, slash);
        if (folder != openName || open.get() < 0) {
            open = Fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            openError = errno;
            openName = folder;
        }
        if (open.get() < 0) {
            if (openError == ENOENT) continue;  // nothing there, nothing to delete
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
            ok = ok && !ec;
            continue;
        }
        if (unlinkat(open.get(), name, 0) == 0 || errno == ENOENT) continue;
        ok = ((errno == EISDIR || errno == EPERM) && Tree(open.get(), name)) && ok;
    }
    return ok;
}

// Nothing on Linux keeps a file from being renamed or deleted for a while.
Outcome Move(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code ec;
    std::filesystem::rename(from, to, ec);
    if (!ec) return {};
    return {false, false, Widen(ec.message())};
}

Outcome Delete(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    if (!ec) return {};
    return {false, false, Widen(ec.message())};
}

}  // namespace setup::os
