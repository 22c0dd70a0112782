#include <windows.h>

#include "stack.h"

namespace setup::test {

namespace {
DWORD WINAPI Body(void* body) {
    (*static_cast<const std::function<void()>*>(body))();
    return 0;
}
}  // namespace

void OnStack(std::size_t bytes, const std::function<void()>& body) {
    HANDLE thread = CreateThread(nullptr, bytes, Body, const_cast<std::function<void()>*>(&body),
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

}  // namespace setup::test
