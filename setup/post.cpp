#include <chrono>
#include <mutex>
#include <thread>

#include "os.h"
#include "setup.h"

namespace setup {

namespace {
std::atomic<int> s_texts{0};
// The block of log lines posted last, until the receiver takes it.
std::atomic<std::intptr_t> s_block{0};
// While a block waits to be taken, the next lines join the one being filled,
// so that a receiver slower than the child gets fewer and larger blocks
// rather than a growing queue of small ones; up to this many characters.
constexpr std::size_t kBlockLimit = 1 << 20;
// The tools' downloads report from threads of their own.
std::mutex s_statusLock;
std::wstring s_status;

// Posts a text payload, giving it up only when the post was accepted.
bool PostOwned(unsigned msg, std::intptr_t wParam, std::unique_ptr<std::wstring>& payload) {
    s_texts.fetch_add(1);
    if (os::Post(msg, wParam, reinterpret_cast<std::intptr_t>(payload.get()))) {
        payload.release();
        return true;
    }
    s_texts.fetch_sub(1);
    return false;
}

bool PostCopy(unsigned msg, std::intptr_t wParam, const std::wstring& text) {
    auto payload = std::make_unique<std::wstring>(text);
    return PostOwned(msg, wParam, payload);
}

// A full queue is waited out rather than given up; only a receiver that is
// gone or closing (and so will never read it) ends the wait.
template <class Post>
bool Waiting(Post post) {
    while (!post()) {
        if (!os::Receiving()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace

void PostText(unsigned msg, const std::wstring& text, std::intptr_t wParam) {
    if (msg == kMsgStatus && wParam == 0) {
        std::lock_guard<std::mutex> hold(s_statusLock);
        s_status = text;
    }
    PostCopy(msg, wParam, text);
}

std::wstring LastStatus() {
    std::lock_guard<std::mutex> hold(s_statusLock);
    return s_status;
}

bool PostLines(std::unique_ptr<std::wstring>& lines, bool wait) {
    if (!lines || lines->empty()) return true;
    if (!wait && s_block.load() != 0 && lines->size() < kBlockLimit && os::Receiving())
        return false;
    auto post = [&] {
        auto block = reinterpret_cast<std::intptr_t>(lines.get());
        // Marked before the post: the receiver may take it at once.
        s_block.store(block);
        if (PostOwned(kMsgLog, 0, lines)) return true;
        s_block.compare_exchange_strong(block, 0);
        return false;
    };
    if (wait ? Waiting(post) : post()) return true;
    if (wait || !os::Receiving()) lines.reset();  // nobody will ever read them
    return false;
}

void PostProgress(int percent, std::intptr_t steps) {
    os::Post(kMsgProgress, percent, steps);
}

// The outcome's parts go in one text, separated by a character no message,
// reason or path holds; a bare message stays as it is.
constexpr wchar_t kPartEnd = L'\0';

void PostDone(bool succeeded, const std::wstring& message, const std::wstring& cause,
              const fs::path& log, int declined) {
    std::wstring text = message;
    if (!cause.empty() || !log.empty()) text += kPartEnd + cause + kPartEnd + PathText(log);
    // The window leaves its busy state only through this message.
    Waiting([&] { return PostCopy(kMsgDone, succeeded ? 1 : declined, text); });
}

Outcome ReadOutcome(const std::wstring& text) {
    Outcome outcome;
    std::size_t first = text.find(kPartEnd);
    outcome.message = text.substr(0, first);
    if (first == std::wstring::npos) return outcome;
    std::size_t second = text.find(kPartEnd, first + 1);
    outcome.cause = text.substr(first + 1, second - first - 1);
    if (second != std::wstring::npos) outcome.log = ToPath(text.substr(second + 1));
    return outcome;
}

std::unique_ptr<std::wstring> TakeText(std::intptr_t lParam) {
    if (lParam == 0) return nullptr;
    s_texts.fetch_sub(1);
    std::intptr_t block = lParam;
    s_block.compare_exchange_strong(block, 0);
    return std::unique_ptr<std::wstring>(reinterpret_cast<std::wstring*>(lParam));
}

int LiveTexts() {
    return s_texts.load();
}

}  // namespace setup
