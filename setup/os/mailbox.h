// The console front end's message queue: the worker posts, the main thread
// drains. It refuses posts beyond the same depth as a Windows message queue,
// so that a flood cannot grow without bound and the refusal path is real.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

namespace setup {

struct Message {
    unsigned msg = 0;
    std::intptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

class Mailbox {
  public:
    static constexpr std::size_t kDepth = 10000;

    bool Push(const Message& m);
    std::optional<Message> Pop(std::chrono::milliseconds wait);
    // Refuses every later post; what is queued can still be popped.
    void Close();
    bool Open();

  private:
    std::mutex lock_;
    std::condition_variable ready_;
    std::deque<Message> queue_;
    bool closed_ = false;
};

}  // namespace setup
