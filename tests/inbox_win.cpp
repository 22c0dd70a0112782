#include <windows.h>

#include "inbox.h"
#include "win.h"

namespace setup::test {

// A message-only window owned by the test's thread stands in for the setup window.
struct Inbox::Impl {
    HWND window = nullptr;
};

namespace {

const wchar_t kClass[] = L"CorvaneSetupTestInbox";

Item Take(const MSG& m) {
    Item item{m.message, static_cast<std::intptr_t>(m.wParam), {}};
    if (m.message != kMsgProgress) item.text = *TakeText(m.lParam);
    return item;
}

bool Ours(UINT message) {
    return message >= kMsgLog && message <= kMsgDone;
}

}  // namespace

Inbox::Inbox() : impl_(std::make_unique<Impl>()) {
    WNDCLASSW type{};
    type.lpfnWndProc = DefWindowProcW;
    type.hInstance = GetModuleHandleW(nullptr);
    type.lpszClassName = kClass;
    RegisterClassW(&type);  // fails harmlessly when already registered
    impl_->window = CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
    s_window = impl_->window;
    s_closing = false;
}

Inbox::~Inbox() {
    Drain();
    DestroyWindow(impl_->window);
    s_window = nullptr;
    s_closing = false;
}

std::vector<Item> Inbox::UntilDone(std::chrono::seconds limit) {
    std::vector<Item> items;
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        MSG m;
        if (!PeekMessageW(&m, impl_->window, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            continue;
        }
        if (!Ours(m.message)) continue;
        items.push_back(Take(m));
        if (m.message == kMsgDone) break;
    }
    return items;
}

std::vector<Item> Inbox::Drain() {
    std::vector<Item> items;
    MSG m;
    while (PeekMessageW(&m, impl_->window, 0, 0, PM_REMOVE))
        if (Ours(m.message)) items.push_back(Take(m));
    return items;
}

void Inbox::Close() {
    s_closing = true;
    DestroyWindow(impl_->window);
}

}  // namespace setup::test
