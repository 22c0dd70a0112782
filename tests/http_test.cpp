#include <gtest/gtest.h>

#include <thread>

#include "http.h"
#include "inbox.h"
#include "server.h"
#include "temp.h"

namespace setup::test {
namespace {

TEST(DownloadText, ReceivedRoundsAndLengthTruncates) {
    struct Case {
        const wchar_t* label;
        std::uint64_t received, length;
        const wchar_t* text;
    } cases[] = {
        {L"Git", 13212345, 61800000, L"Downloading Git: 13 MB of 58 MB"},
        {L"Git", 61800000, 61800000, L"Downloading Git: 59 MB of 58 MB"},
        {L"CMake", 1000, 0, L"Downloading CMake: 0 MB"},
        {L"Ninja", 0, 1048575, L"Downloading Ninja: 0 MB of 0 MB"},
        {L"Clang", 1572864, 0, L"Downloading Clang: 2 MB"},  // 1.5 MB
        {L"Clang", 2621440, 0, L"Downloading Clang: 2 MB"},  // 2.5 MB: ties go to even
        {L"Python", 5ull << 40, 6ull << 40, L"Downloading Python: 5242880 MB of 6291456 MB"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DownloadText(c.label, c.received, c.length), c.text) << c.text;
}

TEST(DownloadText, LongLabelsAreCutTo255Characters) {
    std::wstring label(300, L'x');
    std::wstring text = DownloadText(label.c_str(), 0, 1 << 20);
    EXPECT_EQ(text, (L"Downloading " + label).substr(0, 255));
}

class Http : public ::testing::Test {
  protected:
    void SetUp() override { s_cancel = false; }
    void TearDown() override { s_cancel = false; }
    TempDir dir;
};

TEST_F(Http, ResultNeedsStatus200AndTheWholeBody) {
    struct Case {
        const char* path;
        bool ok;
        std::size_t size;  // of the body kept
    } cases[] = {
        {"/bytes?n=100000", true, 100000},
        {"/bytes?n=0", true, 0},
        {"/unsized?n=300000", true, 300000},  // no length: the server's close ends it
        {"/chunked?n=300000", true, 300000},
        {"/redirect/301,302,307,301/bytes?n=70000", true, 70000},
        {"/short?n=100000&sent=40000", false, 40000},
        {"/status/404", false, 0},
        {"/status/500", false, 0},
        {"/status/204", false, 0},
        {"/redirect/302/status/404", false, 0},
    };
    for (const auto& c : cases) {
        std::string body;
        EXPECT_EQ(Get(ServerUrl(c.path), &body, nullptr, nullptr), c.ok) << c.path;
        EXPECT_TRUE(body == Pattern(c.size)) << c.path << ": got " << body.size() << " bytes";
    }
}

TEST_F(Http, UnreachableUrlsCreateNoFile) {
    const wchar_t* urls[] = {
        L"",
        L"not a url",
        L"ftp://127.0.0.1/x",
        L"127.0.0.1/bytes?n=1",
        L"http://127.0.0.1:1/bytes?n=1",  // nothing listens there
    };
    for (const wchar_t* url : urls) {
        fs::path file = dir / "out.bin";
        std::string body;
        EXPECT_FALSE(Get(url, &body, &file, L"Git")) << Narrow(url);
        EXPECT_FALSE(Exists(file)) << Narrow(url);
        EXPECT_TRUE(body.empty()) << Narrow(url);
    }
}

TEST_F(Http, FailedStatusLeavesAnEmptyFile) {
    for (const char* path : {"/status/404", "/status/500", "/nowhere"}) {
        fs::path file = dir / "out.bin";
        WriteBytes(file, "an earlier attempt");
        EXPECT_FALSE(Get(ServerUrl(path), nullptr, &file, nullptr)) << path;
        EXPECT_TRUE(Exists(file)) << path;
        EXPECT_EQ(ReadBytes(file), "") << path;
    }
}

TEST_F(Http, BodyAndFileBothGetEveryByte) {
    fs::path file = dir / "out.bin";
    WriteBytes(file, std::string(5000000, 'x'));  // longer than the answer: truncated
    std::string body = "kept:";
    ASSERT_TRUE(Get(ServerUrl("/bytes?n=3000000"), &body, &file, nullptr));
    EXPECT_TRUE(body == "kept:" + Pattern(3000000));
    EXPECT_TRUE(ReadBytes(file) == Pattern(3000000));
}

TEST_F(Http, SendsItsUserAgentOnce) {
    std::string body;
    ASSERT_TRUE(Get(ServerUrl("/header/User-Agent"), &body, nullptr, nullptr));
    EXPECT_EQ(body, "Corvane-Setup\n");
}

TEST_F(Http, ProgressWithALengthPostsOnlyNewPercentages) {
    Inbox inbox;
    const std::uint64_t size = 32 << 20;
    std::string body;
    ASSERT_TRUE(Get(ServerUrl("/bytes?n=" + std::to_string(size)), &body, nullptr, L"Git"));
    auto items = inbox.Drain();
    ASSERT_GE(items.size(), 2u);
    ASSERT_LE(items.size(), 202u);
    ASSERT_EQ(items.size() % 2, 0u);
    int last = -2;
    for (std::size_t i = 0; i < items.size(); i += 2) {
        ASSERT_EQ(items[i].msg, kMsgProgress);
        ASSERT_EQ(items[i + 1].msg, kMsgStatus);
        EXPECT_GT(items[i].wParam, last);
        EXPECT_LE(items[i].wParam, 100);
        last = static_cast<int>(items[i].wParam);
        EXPECT_TRUE(items[i + 1].text.starts_with(L"Downloading Git: "))
            << Narrow(items[i + 1].text);
        EXPECT_TRUE(items[i + 1].text.ends_with(L" MB of 32 MB")) << Narrow(items[i + 1].text);
    }
    EXPECT_EQ(last, 100);
    EXPECT_EQ(items.back().text, L"Downloading Git: 32 MB of 32 MB");
}

TEST_F(Http, ProgressWithoutALengthPostsOnce) {
    for (const char* path : {"/unsized?n=3000000", "/chunked?n=3000000"}) {
        Inbox inbox;
        std::string body;
        ASSERT_TRUE(Get(ServerUrl(path), &body, nullptr, L"Git")) << path;
        EXPECT_EQ(body.size(), 3000000u);
        auto items = inbox.Drain();
        ASSERT_EQ(items.size(), 2u) << path;
        EXPECT_EQ(items[0].msg, kMsgProgress);
        EXPECT_EQ(items[0].wParam, -1);
        EXPECT_EQ(items[1].msg, kMsgStatus);
        // The figure is the first chunk's, and the server sends a small one.
        EXPECT_EQ(items[1].text, L"Downloading Git: 0 MB") << path;
    }
}

TEST_F(Http, NoLabelPostsNothing) {
    Inbox inbox;
    std::string body;
    ASSERT_TRUE(Get(ServerUrl("/bytes?n=3000000"), &body, nullptr, nullptr));
    ASSERT_TRUE(Get(ServerUrl("/unsized?n=300000"), &body, nullptr, nullptr));
    EXPECT_EQ(inbox.Drain().size(), 0u);
}

// Waits for the first message the download posts; false after ten seconds.
bool FirstPost(Inbox& inbox) {
    for (int i = 0; i < 1000; ++i) {
        if (!inbox.Drain().empty()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST_F(Http, CancelStopsAtTheNextChunkAndKeepsWhatWasRead) {
    Inbox inbox;
    fs::path file = dir / "drip.bin";
    std::string body;
    bool ok = true;
    // 40 bytes, 4 every 200 ms: two seconds when nobody cancels.
    std::thread worker(
        [&] { ok = Get(ServerUrl("/drip?n=40&step=4&every=200"), &body, &file, L"Git"); });
    bool started = FirstPost(inbox);
    s_cancel = true;
    worker.join();
    ASSERT_TRUE(started);
    EXPECT_FALSE(ok);
    EXPECT_GE(body.size(), 4u);
    EXPECT_LT(body.size(), 40u);
    EXPECT_TRUE(body == Pattern(body.size()));
    EXPECT_TRUE(ReadBytes(file) == body);
}

}  // namespace
}  // namespace setup::test
