#include <gtest/gtest.h>

#include <thread>

#include "inbox.h"
#include "os.h"
#include "setup.h"

namespace setup::test {
namespace {

// Fills the receiver's queue until it refuses; false if it never does.
bool FillQueue() {
    for (int i = 0; i < 20000; ++i)
        if (!os::Post(kMsgProgress, i, 0)) return true;
    return false;
}

TEST(Post, RefusedPayloadsAreFreed) {
    Inbox inbox;
    if (!FillQueue()) GTEST_SKIP() << "this receiver's queue has no depth limit";
    int before = LiveTexts();
    for (int i = 0; i < 100; ++i) Log(L"refused line");
    PostText(kMsgStatus, L"refused status");
    EXPECT_EQ(LiveTexts(), before);
}

TEST(Post, PayloadsToAClosedReceiverAreFreed) {
    Inbox inbox;
    inbox.Close();
    int before = LiveTexts();
    Log(L"to nobody");
    Status(L"to nobody");
    PostDone(true, L"to nobody");  // returns: nobody will ever read it
    EXPECT_EQ(LiveTexts(), before);
}

TEST(Post, DoneWaitsOutAFullQueue) {
    Inbox inbox;
    if (!FillQueue()) GTEST_SKIP() << "this receiver's queue has no depth limit";
    std::thread worker([] { PostDone(true, L"finished"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // The worker is still trying; reading the queue lets the message in.
    auto items = inbox.UntilDone(std::chrono::seconds(30));
    worker.join();
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items.back().msg, kMsgDone);
    EXPECT_EQ(items.back().text, L"finished");
    EXPECT_EQ(items.back().wParam, 1);
}

TEST(Post, DoneGivesUpWhenTheReceiverCloses) {
    Inbox inbox;
    if (!FillQueue()) GTEST_SKIP() << "this receiver's queue has no depth limit";
    int before = LiveTexts();
    std::thread worker([] { PostDone(false, L"nobody reads this"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    inbox.Close();
    worker.join();  // returns instead of spinning forever
    EXPECT_EQ(LiveTexts(), before);
}

TEST(Post, EveryTakenPayloadIsAccountedFor) {
    Inbox inbox;
    int before = LiveTexts();
    Log(L"one");
    Status(L"two");
    PostProgress(-1);
    PostDone(false, L"three");
    EXPECT_EQ(LiveTexts(), before + 4);
    auto items = inbox.Drain();
    EXPECT_EQ(items.size(), 5u);
    EXPECT_EQ(LiveTexts(), before);
    EXPECT_EQ(items[3].msg, kMsgProgress);
    EXPECT_EQ(items[3].wParam, -1);
}

TEST(Post, ARunsFirstProgressFigureArrivesWhateverTheLastRunEndedWith) {
    Inbox inbox;
    PostProgress(-1);
    PostDone(true, L"first run");
    PostProgress(-1);  // the next run's first figure: the window shows 100 by now
    auto items = inbox.Drain();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[2].msg, kMsgProgress);
    EXPECT_EQ(items[2].wParam, -1);
}

}  // namespace
}  // namespace setup::test
