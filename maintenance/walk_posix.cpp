// The walk on Linux: each folder is opened once and everything in it is asked
// for relative to it (openat, fstatat), as du does. The listing's own types
// settle most entries; only a file that is wanted costs a size query.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "walk.h"

namespace mosk::maintenance {

namespace {

// An open folder's listing, closed on every path out.
class Listing {
  public:
    explicit Listing(int fd) : dir_(fd >= 0 ? fdopendir(fd) : nullptr) {
        if (fd >= 0 && !dir_) close(fd);
    }
    ~Listing() {
        if (dir_) closedir(dir_);
    }
    Listing(const Listing&) = delete;
    Listing& operator=(const Listing&) = delete;
    DIR* get() const { return dir_; }

  private:
    DIR* dir_;
};

struct Walker {
    const std::function<bool(const Name&)>& want;
    const std::function<void(const fs::path&, const Name&, std::uint64_t)>& take;
    Name name;

    // False when an error ends the whole walk.
    bool Folder(int fd, const fs::path& at) {
        Listing listing(fd);
        if (!listing.get()) return false;
        int self = dirfd(listing.get());
        for (;;) {
            errno = 0;
            dirent* entry = readdir(listing.get());
            if (!entry) return errno == 0;
            const char* n = entry->d_name;
            if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
            if (!Entry(self, at, n, entry->d_type)) return false;
        }
    }

    bool Entry(int self, const fs::path& at, const char* n, unsigned char type) {
        struct stat info {};
        if (type == DT_UNKNOWN) {
            if (fstatat(self, n, &info, AT_SYMLINK_NOFOLLOW) != 0) return true;
            if (S_ISDIR(info.st_mode)) {
                type = DT_DIR;
            } else if (S_ISLNK(info.st_mode)) {
                type = DT_LNK;
            } else if (S_ISREG(info.st_mode)) {
                type = DT_REG;
            } else {
                return true;
            }
        }
        if (type == DT_DIR) {
            int fd = openat(self, n, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (fd < 0) return errno == EACCES || errno == EPERM;  // may not be read: skipped
            return Folder(fd, at / n);
        }
        if (type != DT_REG && type != DT_LNK) return true;
        name.assign(n);
        if (!want(name)) return true;
        // A link counts as the file it leads to; a link to a folder or to
        // nothing is no file.
        if (fstatat(self, n, &info, type == DT_LNK ? 0 : AT_SYMLINK_NOFOLLOW) != 0) {
            if (type == DT_REG) take(at, name, 0);
            return true;
        }
        if (S_ISREG(info.st_mode)) take(at, name, static_cast<std::uint64_t>(info.st_size));
        return true;
    }
};

}  // namespace

void Files(
    const fs::path& folder, const std::function<bool(const Name& name)>& want,
    const std::function<void(const fs::path& at, const Name& name, std::uint64_t size)>& take) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    Walker{want, take, {}}.Folder(fd, folder);
}

}  // namespace mosk::maintenance
