#include "finish.h"
#include "maintenance.h"
#include "os.h"
#include "setup.h"

namespace setup {

namespace mm = mosk::maintenance;

namespace {

// Each tool's folder under tools/ takes its staging name (".partial") before
// anything in it goes: a run stopped half-way through the delete leaves only
// folders that the next run deletes or unpacks anew, never a tool that is
// found by its program while its other files are gone.
void Disarm(const fs::path& tools) {
    std::vector<fs::path> folders;
    os::Walk(tools, 0, [&](const fs::path& path, os::Kind kind) {
        if (kind == os::Kind::kFolder && path.extension() != ".partial") folders.push_back(path);
        return true;
    });
    // One try each, without the wait for a held file: a folder that keeps
    // its name (on Windows, one whose file another program holds open) is
    // deleted as it is, as before, and the delete waits for it.
    for (const fs::path& folder : folders) {
        fs::path staging = folder;
        staging += ".partial";
        os::Delete(staging);
        std::error_code ec;
        fs::rename(folder, staging, ec);
    }
}

}  // namespace

void FreeSpace(RunState& run) {
    Status(T(L"Freeing up space"));
    // Both measured before anything is deleted.
    const mm::Part parts[] = {mm::Leftovers(run.at.source), mm::Tools(run.at.source)};
    std::uint64_t freed = 0;
    for (const mm::Part& part : parts) {
        Log(L"Deleting " + part.label + L": " + mm::SizeText(part.bytes));
        if (&part == &parts[1])
            for (const fs::path& tools : part.paths) Disarm(tools);
        // A group deleted in part frees an unknown amount: better none claimed than too much.
        if (!os::Remove(part.paths)) {
            Log(L"(some of it couldn't be deleted)");
        } else {
            freed += part.bytes;
        }
    }
    run.message += L"\n\n" + Say(L"Freed {} (the next update downloads the tools again and "
                                 L"rebuilds from scratch).",
                                 mm::SizeText(freed));
}

}  // namespace setup
