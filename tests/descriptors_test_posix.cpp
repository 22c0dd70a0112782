// What the program holds of the system's resources on Linux: open
// descriptors after downloads and deletes, and the walk whatever the listing
// tells and whichever descriptors are free.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>

#include "http.h"
#include "maintenance.h"
#include "os.h"
#include "server.h"
#include "temp.h"

namespace {

// Makes the listings give no file type, as some file systems do.
std::atomic<bool> s_noTypes{false};

}  // namespace

// Stands in for the C library's own for the whole test program.
extern "C" dirent* readdir(DIR* dir) {
    static auto real = reinterpret_cast<dirent* (*)(DIR*)>(dlsym(RTLD_NEXT, "readdir"));
    dirent* entry = real(dir);
    if (entry && s_noTypes) entry->d_type = DT_UNKNOWN;
    return entry;
}

namespace setup::test {
namespace {

std::size_t OpenDescriptors() {
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd"))
        count += !entry.path().empty();
    return count;
}

// A lowered limit of open files, put back at the end.
class FileLimit {
  public:
    explicit FileLimit(rlim_t files) {
        getrlimit(RLIMIT_NOFILE, &old_);
        rlimit lower = old_;
        lower.rlim_cur = files;
        setrlimit(RLIMIT_NOFILE, &lower);
    }
    ~FileLimit() { setrlimit(RLIMIT_NOFILE, &old_); }
    FileLimit(const FileLimit&) = delete;
    FileLimit& operator=(const FileLimit&) = delete;

  private:
    rlimit old_{};
};

TEST(HttpDescriptors, DownloadsWithRetriesHoldNoneAfterwards) {
    TempDir dir;
    int waits[2] = {s_retryWaits[0], s_retryWaits[1]};
    s_retryWaits[0] = s_retryWaits[1] = 1;
    std::string body;
    fs::path file = dir / "download";
    ASSERT_TRUE(
        Get(ServerUrl("/bytes?n=1000"), &body, nullptr, nullptr));  // the library's own setup
    std::size_t before = OpenDescriptors();
    for (int i = 0; i < 5; ++i) {
        std::string key = std::to_string(::getpid()) + "-" + std::to_string(i);
        body.clear();
        EXPECT_TRUE(Get(ServerUrl("/flaky/fd" + key + "?n=70000&code=0"), &body, nullptr, nullptr));
        EXPECT_TRUE(Get(ServerUrl("/flaky/fe" + key + "?n=70000"), nullptr, &file, nullptr));
        EXPECT_FALSE(Get(ServerUrl("/flaky/ff" + key + "?n=10&fail=3"), &body, nullptr, nullptr));
    }
    EXPECT_EQ(OpenDescriptors(), before);
    s_retryWaits[0] = waits[0], s_retryWaits[1] = waits[1];
}

TEST(Descriptors, DeletingATreeOf2000FoldersUnderALowLimit) {
    TempDir dir;
    fs::path root = dir / "build";
    for (int i = 0; i < 40; ++i)
        for (int j = 0; j < 50; ++j)
            fs::create_directories(root / std::to_string(i) / std::to_string(j));
    WriteBytes(root / "0/0/a.o", "x");
    std::size_t before = OpenDescriptors();
    bool removed = false;
    {
        FileLimit limit(before + 16);
        removed = os::Remove({root / "0", root});
    }
    EXPECT_TRUE(removed);
    EXPECT_FALSE(Exists(root));
    EXPECT_EQ(OpenDescriptors(), before);
}

// The walk counts the same whether the listing tells each entry's type or
// not, and with descriptor 0 free for the folders it opens.
TEST(Descriptors, TheWalkCountsAlikeWithoutTypesOrStandardInput) {
    TempDir dir;
    fs::path folder = dir / "build";
    WriteBytes(folder / "a.obj", "12345");
    WriteBytes(folder / "sub/b.obj", "1234567");
    WriteBytes(dir / "target.obj", "12345678901");
    fs::create_symlink(dir / "target.obj", folder / "link.obj");  // counts as its target
    fs::create_directory_symlink(dir.path(), folder / "loop");    // not followed
    fs::create_symlink(dir / "none", folder / "dangling.obj");    // no file
    struct Case {
        const char* name;
        bool noTypes;
        bool closeInput;
    } cases[] = {{"plain", false, false},
                 {"no types", true, false},
                 {"no input", false, true},
                 {"neither", true, true}};
    for (const Case& c : cases) {
        int input = c.closeInput ? dup(STDIN_FILENO) : -1;
        if (c.closeInput) close(STDIN_FILENO);
        s_noTypes = c.noTypes;
        std::uint64_t size = mosk::maintenance::SizeOf(folder);
        s_noTypes = false;
        if (c.closeInput) {
            dup2(input, STDIN_FILENO);
            close(input);
        }
        EXPECT_EQ(size, 23u) << c.name;
    }
}

}  // namespace
}  // namespace setup::test
