#include "mailbox.h"

#include "setup.h"

namespace setup {

bool Mailbox::Push(const Message& m) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (closed_ || queue_.size() >= kDepth) return false;
        // The same figure again changes nothing on the receiver's side, and
        // a flood of build steps repeats each percentage thousands of times:
        // such a post is taken without waking the receiver. A run's end
        // shows its own figure, so the next run's first one always goes.
        if (m.msg == kMsgProgress && progress_ && *progress_ == m.wParam) return true;
        if (m.msg == kMsgProgress) progress_ = m.wParam;
        if (m.msg == kMsgDone) progress_.reset();
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
