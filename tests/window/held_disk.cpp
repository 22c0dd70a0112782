// A test build of the setup window. Its run's disk-space query answers from
// the environment, so that the window tests can keep a run busy (as a long
// build would) or make it ask its low-disk question, on any machine:
//   CORVANE_TEST_HOLD        set: wait until the run is cancelled, notice it
//                            a second late, then end the run as cancelled;
//                            "ask": the same wait, then answer as if nothing
//                            had happened, so that the run goes on to ask
//   CORVANE_TEST_FREE_BYTES  the free bytes to report
//   CORVANE_TEST_REFUSE_START  a program's name: its start fails as app control refuses it
#include <windows.h>

#include <cwchar>
#include <string>

#include "child.h"
#include "os.h"
#include "setup.h"
#include "win.h"

namespace setup {
namespace {

std::optional<std::uint64_t> HeldFreeBytes(const fs::path& folder) {
    wchar_t value[32] = L"";
    if (GetEnvironmentVariableW(L"CORVANE_TEST_HOLD", value, 32)) {
        while (!s_cancel.load()) Sleep(10);
        Sleep(1000);
        if (std::wstring(value) != L"ask") CheckCancel();
    }
    if (GetEnvironmentVariableW(L"CORVANE_TEST_FREE_BYTES", value, 32))
        return std::wcstoull(value, nullptr, 10);
    return os::FreeBytes(folder);
}

BOOL WINAPI Create(const wchar_t* app, wchar_t* line, auto... rest) {
    wchar_t name[64] = L"";
    fs::path program = os::ProgramOf(line);
    if (GetEnvironmentVariableW(L"CORVANE_TEST_REFUSE_START", name, 64) &&
        _wcsicmp(program.stem().c_str(), name) == 0 && Exists(program))
        return SetLastError(4551), FALSE;
    return CreateProcessW(app, line, rest...);
}

// s_freeBytes is constant-initialised, so this runs after it has its default.
[[maybe_unused]] const bool s_held =
    (s_freeBytes = HeldFreeBytes, os::s_createProcess = Create, true);

}  // namespace
}  // namespace setup
