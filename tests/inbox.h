// Receives what the worker posts, in place of the window: it becomes
// s_window for its lifetime and collects the messages on the test's thread.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "setup.h"

namespace setup::test {

struct Item {
    unsigned msg = 0;
    std::intptr_t wParam = 0;
    std::wstring text;  // the payload of kMsgLog, kMsgStatus and kMsgDone
};

class Inbox {
  public:
    Inbox();
    ~Inbox();

    // Everything posted until kMsgDone arrives (included), or until the limit.
    std::vector<Item> UntilDone(std::chrono::seconds limit = std::chrono::seconds(120));
    // Everything queued right now.
    std::vector<Item> Drain();
    // Stops taking messages, as a closing window does.
    void Close();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The texts of every item of one kind.
std::vector<std::wstring> Texts(const std::vector<Item>& items, unsigned msg);

// The message of the Failed a call ended with; empty when it returned.
template <typename Call>
std::wstring FailureOf(Call call) {
    try {
        call();
    } catch (const Failed& failed) {
        return failed.message;
    }
    return {};
}

}  // namespace setup::test
