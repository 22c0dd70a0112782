#include "undeletable.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace setup::test {

namespace fs = std::filesystem;

namespace {

// Root ignores a folder's permission bits through CAP_DAC_OVERRIDE. Capabilities
// belong to a thread, so the test's thread can set this one aside and take it
// back; the permitted set keeps it.
bool SetOverride(bool on) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capget, &header, data) != 0) return false;
    const unsigned bit = 1u << CAP_DAC_OVERRIDE;
    bool had = (data[0].effective & bit) != 0;
    if (on && (data[0].permitted & bit)) data[0].effective |= bit;
    if (!on) data[0].effective &= ~bit;
    syscall(SYS_capset, &header, data);
    return had;
}

}  // namespace

struct Undeletable::Impl {
    fs::path folder;
    fs::perms perms;
    bool hadOverride;
};

Undeletable::Undeletable(const fs::path& file)
    : impl_(std::make_unique<Impl>(Impl{file.parent_path(), {}, false})) {
    impl_->perms = fs::status(impl_->folder).permissions();
    fs::permissions(impl_->folder, fs::perms::owner_read | fs::perms::owner_exec);
    impl_->hadOverride = SetOverride(false);
}

Undeletable::~Undeletable() {
    if (impl_->hadOverride) SetOverride(true);
    std::error_code ec;
    fs::permissions(impl_->folder, impl_->perms, ec);
}

}  // namespace setup::test
