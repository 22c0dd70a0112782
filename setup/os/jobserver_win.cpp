// The jobserver on Windows: a named semaphore whose count is the free
// tokens. Ninja opens it by its name from MAKEFLAGS, waits on it before each
// job beyond its first and releases it when the job ends.
#include <windows.h>

#include <algorithm>
#include <string>

#include "os.h"

namespace setup::os {

struct Jobserver::Impl {
    std::wstring name;
    HANDLE semaphore = nullptr;
};

Jobserver::Jobserver(int most) : impl_(std::make_unique<Impl>()) {
    static LONG made = 0;
    impl_->name = L"corvane-jobs-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                  std::to_wstring(InterlockedIncrement(&made));
    impl_->semaphore = CreateSemaphoreW(nullptr, 0, std::max(most, 1), impl_->name.c_str());
}

Jobserver::~Jobserver() {
    if (impl_->semaphore) CloseHandle(impl_->semaphore);
}

bool Jobserver::Ready() const {
    return impl_->semaphore != nullptr;
}

std::wstring Jobserver::Auth() const {
    return impl_->name;
}

void Jobserver::Give(int count) {
    if (impl_->semaphore && count > 0) ReleaseSemaphore(impl_->semaphore, count, nullptr);
}

int Jobserver::Take(int count) {
    int took = 0;
    while (impl_->semaphore && took < count &&
           WaitForSingleObject(impl_->semaphore, 0) == WAIT_OBJECT_0)
        ++took;
    return took;
}

}  // namespace setup::os
