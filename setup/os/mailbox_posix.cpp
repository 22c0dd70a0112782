#include "mailbox.h"

namespace setup {

bool Mailbox::Push(const Message& m) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (closed_ || queue_.size() >= kDepth) return false;
        queue_.push_back(m);
    }
    ready_.notify_one();
    return true;
}

std::optional<Message> Mailbox::Pop(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> hold(lock_);
    if (!ready_.wait_for(hold, wait, [this] { return !queue_.empty(); })) return std::nullopt;
    Message m = queue_.front();
    queue_.pop_front();
    return m;
}

void Mailbox::Close() {
    std::lock_guard<std::mutex> hold(lock_);
    closed_ = true;
}

bool Mailbox::Open() {
    std::lock_guard<std::mutex> hold(lock_);
    return !closed_;
}

}  // namespace setup
