// The jobserver on Linux: a FIFO that holds one byte a token. Ninja (and
// make) open it by its path from MAKEFLAGS, read a byte before each job
// beyond their first and write it back when the job ends.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "os.h"
#include "setup.h"

namespace setup::os {

struct Jobserver::Impl {
    std::string folder, fifo;
    int fd = -1;
};

Jobserver::Jobserver(int) : impl_(std::make_unique<Impl>()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/corvane-jobs-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    if (!mkdtemp(name.data())) return;
    impl_->folder = name.data();
    std::string fifo = impl_->folder + "/fifo";
    if (mkfifo(fifo.c_str(), 0600) != 0) return;
    impl_->fifo = fifo;
    // Both ends held here: a read finds no end of file, a write never
    // blocks, and the children open the FIFO by its path, not this one.
    impl_->fd = open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
}

Jobserver::~Jobserver() {
    if (impl_->fd >= 0) close(impl_->fd);
    if (!impl_->fifo.empty()) unlink(impl_->fifo.c_str());
    if (!impl_->folder.empty()) rmdir(impl_->folder.c_str());
}

bool Jobserver::Ready() const {
    return impl_->fd >= 0;
}

std::wstring Jobserver::Auth() const {
    return L"fifo:" + Widen(impl_->fifo);
}

void Jobserver::Give(int count) {
    std::string tokens(static_cast<std::size_t>(std::max(count, 0)), '+');
    if (impl_->fd >= 0 && !tokens.empty()) {
        [[maybe_unused]] ssize_t wrote = write(impl_->fd, tokens.data(), tokens.size());
    }
}

int Jobserver::Take(int count) {
    if (impl_->fd < 0 || count <= 0) return 0;
    std::vector<char> tokens(static_cast<std::size_t>(count));
    ssize_t got = read(impl_->fd, tokens.data(), tokens.size());
    return got > 0 ? static_cast<int>(got) : 0;
}

}  // namespace setup::os
