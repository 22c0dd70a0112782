#include "inbox.h"
#include "mailbox.h"

namespace setup::test {

struct Inbox::Impl {
    Mailbox box;
};

namespace {
Item Take(const Message& m) {
    Item item{m.msg, m.wParam, {}};
    if (m.msg != kMsgProgress) item.text = *TakeText(m.lParam);
    return item;
}
}  // namespace

Inbox::Inbox() : impl_(std::make_unique<Impl>()) {
    s_window = &impl_->box;
}

Inbox::~Inbox() {
    Drain();
    s_window = nullptr;
}

std::vector<Item> Inbox::UntilDone(std::chrono::seconds limit) {
    std::vector<Item> items;
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        auto m = impl_->box.Pop(std::chrono::milliseconds(50));
        if (!m) continue;
        items.push_back(Take(*m));
        if (m->msg == kMsgDone) break;
    }
    return items;
}

std::vector<Item> Inbox::Drain() {
    std::vector<Item> items;
    while (auto m = impl_->box.Pop(std::chrono::milliseconds(0))) items.push_back(Take(*m));
    return items;
}

void Inbox::Close() {
    impl_->box.Close();
}

}  // namespace setup::test
