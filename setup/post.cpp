#include <chrono>
#include <thread>

#include "os.h"
#include "setup.h"

namespace setup {

namespace {
std::atomic<int> s_texts{0};

// Posts a text payload; frees it when the post is refused.
bool PostOwned(unsigned msg, std::intptr_t wParam, const std::wstring& text) {
    auto payload = std::make_unique<std::wstring>(text);
    s_texts.fetch_add(1);
    if (os::Post(msg, wParam, reinterpret_cast<std::intptr_t>(payload.get()))) {
        payload.release();
        return true;
    }
    s_texts.fetch_sub(1);
    return false;
}
}  // namespace

void PostText(unsigned msg, const std::wstring& text, std::intptr_t wParam) {
    PostOwned(msg, wParam, text);
}

void PostProgress(int percent) {
    os::Post(kMsgProgress, percent, 0);
}

void PostDone(bool succeeded, const std::wstring& message) {
    // The window leaves its busy state only through this message, so a full
    // queue is waited out rather than dropped; only a receiver that is gone or
    // closing (and so will never read it) ends the wait.
    while (!PostOwned(kMsgDone, succeeded ? 1 : 0, message)) {
        if (!os::Receiving()) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::unique_ptr<std::wstring> TakeText(std::intptr_t lParam) {
    if (lParam == 0) return nullptr;
    s_texts.fetch_sub(1);
    return std::unique_ptr<std::wstring>(reinterpret_cast<std::wstring*>(lParam));
}

int LiveTexts() {
    return s_texts.load();
}

}  // namespace setup
