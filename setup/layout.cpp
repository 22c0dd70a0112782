#include "http.h"
#include "os.h"
#include "setup.h"

namespace setup {

Layout LayoutOf(const fs::path& installDir) {
    Layout at;
    at.log = installDir / "setup.log";
    at.lock = installDir / "setup.lock";
    at.tools = installDir / "tools";
    at.source = installDir / "corvane-recomp";
    at.extracted = at.source / "game" / "extracted";
    at.xex = at.extracted / "default.xex";
    at.launcher = at.source / "build" / "runtime" / "CorvaneLauncher.exe";
    return at;
}

fs::path s_installed;

bool Exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::status(path, ec));
}

bool Empty(const fs::path& folder) {
    bool any = false;
    bool listed = os::Walk(folder, 0, [&](const fs::path&, os::Kind) {
        any = true;
        return false;
    });
    return listed && !any;
}

void Cancel() {
    s_cancel.store(true);
    os::AbortTransfer();
    os::EndChildren();
}

std::optional<std::uint64_t> (*s_freeBytes)(const fs::path& folder) = os::FreeBytes;
bool (*s_ask)(const std::wstring& question) = os::Ask;
bool (*s_askAnyway)(const std::wstring& question) = os::AskNo;

}  // namespace setup
