#include "finish.h"
#include "maintenance.h"
#include "os.h"
#include "setup.h"

namespace setup {

namespace mm = mosk::maintenance;

void FreeSpace(RunState& run) {
    Status(L"Freeing up space");
    // Both measured before anything is deleted.
    const mm::Part parts[] = {mm::Leftovers(run.at.source), mm::Tools(run.at.source)};
    std::uint64_t freed = 0;
    for (const mm::Part& part : parts) {
        Log(L"Deleting " + part.label + L": " + mm::SizeText(part.bytes));
        // A group deleted in part frees an unknown amount: better none claimed than too much.
        if (!os::Remove(part.paths)) {
            Log(L"(some of it couldn't be deleted)");
        } else {
            freed += part.bytes;
        }
    }
    run.message += L"\n\nFreed " + mm::SizeText(freed) +
                   L" (the next update downloads the tools again and rebuilds from scratch).";
}

}  // namespace setup
