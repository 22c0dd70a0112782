#include <gtest/gtest.h>
#include <windows.h>

#include "programs.h"
#include "win.h"

namespace setup::test {

namespace {

// The window makes the job at start-up; the tests' process has no window.
class JobEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { CreateJob(); }
    void TearDown() override { CloseJob(); }
};

const auto* s_jobEnvironment = ::testing::AddGlobalTestEnvironment(new JobEnvironment);

}  // namespace

std::filesystem::path Helper(const std::string& name) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return std::filesystem::path(self).parent_path() / ProgramFile(name);
}

std::string ProgramFile(const std::string& name) {
    return name + ".exe";
}

bool Alive(unsigned long pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return false;
    bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

PathFirst::PathFirst(const std::filesystem::path& folder) {
    wchar_t none = 0;
    DWORD size = GetEnvironmentVariableW(L"PATH", &none, 0);
    had_ = size > 0;
    old_.assign(size, L'\0');
    if (had_) old_.resize(GetEnvironmentVariableW(L"PATH", old_.data(), size));
    std::wstring path = folder.native() + (had_ ? L";" + old_ : L"");
    SetEnvironmentVariableW(L"PATH", path.c_str());
}

PathFirst::~PathFirst() {
    SetEnvironmentVariableW(L"PATH", had_ ? old_.c_str() : nullptr);
}

}  // namespace setup::test
