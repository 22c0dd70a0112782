#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <random>
#include <thread>

#include "hash.h"
#include "http.h"
#include "inbox.h"
#include "os.h"
#include "part.h"
#include "server.h"
#include "temp.h"
#include "urls.h"

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
        // Below a megabyte, kilobytes: not "0 MB of 0 MB".
        {L"CMake", 1000, 0, L"Downloading CMake: 1000 bytes"},
        {L"Ninja", 0, 1048575, L"Downloading Ninja: 0 KB of 1023 KB"},
        {L"Ninja", 1048576, 1048577, L"Downloading Ninja: 1 MB of 1 MB"},
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

// A key of the server's /flaky/ route that no earlier request used.
std::string Fresh() {
    static std::mt19937_64 random{std::random_device{}()};
    return std::to_string(random());
}

TEST_F(Http, ResultNeedsStatus200AndTheWholeBody) {
    struct Case {
        std::string path;
        bool ok;
        std::size_t size;  // of the body kept
    } cases[] = {
        {"/bytes?n=100000", true, 100000},
        {"/bytes?n=0", true, 0},
        {"/unsized?n=300000", true, 300000},  // no length: the server's close ends it
        {"/chunked?n=300000", true, 300000},
        {"/redirect/301,302,307,301/bytes?n=70000", true, 70000},
        {"/redirect/301,301,301,301,301,301,301,301,301,301/bytes?n=10", true, 10},  // the limit
        {"/short?n=100000&sent=40000", false, 40000},
        {"/status/404", false, 0},
        {"/status/500", false, 0},
        {"/status/204", false, 0},
        {"/redirect/302/status/404", false, 0},
        // Failures for the network's sake are tried again, a short body
        // from where it ended; three failures are the end.
        {"/cut/40000?n=100000", true, 100000},
        {"/cut/40000?n=100000&range=0", true, 100000},  // no ranges: from the start
        {"/flaky/" + Fresh() + "?n=70000", true, 70000},
        {"/flaky/" + Fresh() + "?n=70000&code=0", true, 70000},  // resets
        {"/flaky/" + Fresh() + "?n=70000&code=429", true, 70000},
        {"/flaky/" + Fresh() + "?n=70000&fail=3", false, 0},
        // A resume answered from another offset: that attempt starts again.
        {"/skew/" + Fresh() + "?n=100000", true, 100000},
        {"/ratelimit/1700000000/repos", false, 0},
    };
    for (const auto& c : cases) {
        std::string body;
        EXPECT_EQ(Get(ServerUrl(c.path), &body, nullptr, nullptr), c.ok) << c.path;
        EXPECT_TRUE(body == Pattern(c.size)) << c.path << ": got " << body.size() << " bytes";
    }
}

TEST_F(Http, EachFailedAttemptWritesOneLogLine) {
    std::string flaky = "/flaky/" + Fresh() + "?n=1000";
    struct Case {
        std::string path;
        bool ok;
        std::vector<std::string> why;  // of each failed attempt, in order
        Trouble trouble;
    } cases[] = {
        {flaky, true, {"status 503", "status 503"}, Trouble::kNone},
        {"/cut/40000?n=100000",
         true,
         {"the answer ended after 40000 of 100000 bytes"},
         Trouble::kNone},
        {"/status/404", false, {"status 404"}, Trouble::kNetwork},
        {"/skew/" + Fresh() + "?n=100000",
         true,
         {"the answer ended after 50000 of 100000 bytes",
          "status 206 from byte 50001, not 50000; asked again from the start"},
         Trouble::kNone},
        {"/status/502", false, {"status 502", "status 502", "status 502"}, Trouble::kNetwork},
        {"/ratelimit/1700000000/x",
         false,
         {"status 403, the rate limit is used up"},
         Trouble::kLimit},
        {"/ratelimit/1700000000/x?code=429",
         false,
         {"status 429, the rate limit is used up"},
         Trouble::kLimit},
    };
    for (const Case& c : cases) {
        Inbox inbox;
        std::string body;
        Answer answer;
        std::wstring url = ServerUrl(c.path);
        EXPECT_EQ(Get(url, &body, nullptr, L"CMake", &answer), c.ok) << c.path;
        std::vector<Item> items = inbox.Drain();
        std::vector<std::wstring> want;
        for (std::size_t i = 0; i < c.why.size(); ++i)
            want.push_back(L"Couldn't get " + url + L": " + Widen(c.why[i]) + L" (attempt " +
                           std::to_wstring(i + 1) + L" of 3)");
        EXPECT_EQ(Texts(items, kMsgLog), want) << c.path;
        EXPECT_EQ(answer.trouble, c.trouble) << c.path;
        if (c.trouble == Trouble::kLimit) {
            EXPECT_EQ(answer.reset, 1700000000);
        }
        // While it tries again the status line says so.
        bool retrying = false;
        for (const std::wstring& text : Texts(items, kMsgStatus))
            retrying = retrying || text.ends_with(L" (retrying)");
        EXPECT_EQ(retrying, c.why.size() > 1 || (c.ok && !c.why.empty())) << c.path;
    }

    // A refused connection is told in the system's words.
    Inbox inbox;
    std::wstring url = L"http://127.0.0.1:1/x";
    EXPECT_FALSE(Get(url, nullptr, nullptr, nullptr));
    std::vector<std::wstring> lines = Texts(inbox.Drain(), kMsgLog);
    ASSERT_EQ(lines.size(), 3u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::wstring start = L"Couldn't get " + url + L": ";
        std::wstring end = L" (attempt " + std::to_wstring(i + 1) + L" of 3)";
        EXPECT_TRUE(lines[i].starts_with(start) && lines[i].ends_with(end) &&
                    lines[i].size() > start.size() + end.size() + 3)
            << Narrow(lines[i]);
    }
}

// A redirect that can't lead anywhere ends the same way on every attempt.
TEST_F(Http, RedirectsThatCantSucceedAreTriedOnce) {
    for (const char* path : {"/loop", "/away/file", "/away/ftp",
                             "/redirect/301,301,301,301,301,301,301,301,301,301,301/bytes?n=10"}) {
        Inbox inbox;
        Answer answer;
        std::string body;
        EXPECT_FALSE(Get(ServerUrl(path), &body, nullptr, nullptr, &answer)) << path;
        std::vector<std::wstring> lines = Texts(inbox.Drain(), kMsgLog);
        ASSERT_EQ(lines.size(), 1u) << path;
        EXPECT_TRUE(lines[0].ends_with(L" (attempt 1 of 3)")) << Narrow(lines[0]);
        EXPECT_EQ(answer.trouble, Trouble::kNetwork) << path;
        EXPECT_FALSE(answer.cause.empty()) << path;
    }
}

// A secure connection that can't be made (here: a server that speaks plain
// HTTP only) is named as such, with the system's reason.
TEST_F(Http, AFailedSecureConnectionIsNamed) {
    std::wstring url = ServerUrl("/bytes?n=1");
    url.replace(0, 5, L"https:");
    Answer answer;
    EXPECT_FALSE(Get(url, nullptr, nullptr, nullptr, &answer));
    EXPECT_EQ(answer.trouble, Trouble::kSecure) << Narrow(answer.cause);
    EXPECT_FALSE(answer.cause.empty());
}

// A part an earlier run left is continued when the server's validator still
// names the same body, and fetched whole when it doesn't; either way the file
// and its digest are the whole body's.
TEST_F(Http, AKeptPartIsResumedOnlyWhileItsValidatorHolds) {
    const std::string whole = Pattern(100000);
    Hasher hasher(Hash::kSha256);
    hasher.Add(whole.data(), whole.size());
    const std::string digest = hasher.Finish();
    struct Case {
        const char* validator;
        std::string kept;  // the part's bytes
        bool resumed;
        const char* options = "";
    } cases[] = {
        {"\"cut-100000\"", whole.substr(0, 40000), true},
        {"\"cut-99\"", std::string(40000, 'y'), false},
        // A part that isn't the body's start is found out by the validator
        // alone: a server that kept its ETag would complete it wrongly, and
        // the digest then refuses it.
        {"\"cut-100000\"", std::string(40000, 'x'), true},
        // A server that ignores If-Range answers 206 for a changed file: its
        // ETag, or a whole length other than the kept one, gives it away.
        {"\"cut-99\"", std::string(40000, 'y'), false, "&ifrange=0"},
        {"\"cut-100000\"", std::string(40000, 'y'), false, "&total=200000"},
    };
    for (const Case& c : cases) {
        fs::path file = dir / "kept.zip.part";
        WriteBytes(file, c.kept);
        Inbox inbox;
        Answer answer;
        answer.hash = Hash::kSha256;
        answer.kept = {false, c.kept.size(), whole.size(), c.validator};
        ASSERT_TRUE(Get(ServerUrl(std::string("/cut/100000?n=100000") + c.options), nullptr, &file,
                        nullptr, &answer))
            << c.validator;
        std::string got = ReadBytes(file);
        EXPECT_EQ(got.substr(0, 40000) == c.kept, c.resumed) << c.validator;
        EXPECT_TRUE(got.substr(40000) == whole.substr(40000)) << c.validator;
        EXPECT_EQ(answer.digest == digest, got == whole) << c.validator;
        EXPECT_EQ(answer.size, whole.size());
    }
}

TEST_F(Http, TheDigestCoversTheWholeBodyWhateverTheAttempts) {
    const std::string sha256 = "4d3870d4655ed773027a713ea136507d22e076248e0e9cc920a996039653b76f";
    const std::string sha512 =
        "b81a798b45fb1a363cae101abc7af6eced12d0ec26fcb5b4b5780594e69c84275858d5db532af73a9a40c34c"
        "ba35454814f451e2b10304ef551f4b4742d772c3";
    struct Case {
        std::string path;
        Hash hash;
        std::string hex;
    } cases[] = {
        {"/bytes?n=3000000", Hash::kSha256, sha256},
        {"/cut/1000000?n=3000000", Hash::kSha256, sha256},          // resumed
        {"/cut/1000000?n=3000000&range=0", Hash::kSha256, sha256},  // started again
        {"/cut/1000000?n=3000000", Hash::kSha512, sha512},
        {"/bytes?n=3000000", Hash::kNone, ""},
    };
    for (const Case& c : cases) {
        fs::path file = dir / "out.bin";
        Answer answer;
        answer.hash = c.hash;
        ASSERT_TRUE(Get(ServerUrl(c.path), nullptr, &file, nullptr, &answer)) << c.path;
        EXPECT_TRUE(ReadBytes(file) == Pattern(3000000)) << c.path;
        std::string hex;
        for (unsigned char byte : answer.digest)
            hex += "0123456789abcdef"[byte >> 4], hex += "0123456789abcdef"[byte & 15];
        EXPECT_EQ(hex, c.hex) << c.path;
        EXPECT_EQ(answer.size, 3000000u) << c.path;
    }
}

TEST_F(Http, AnswersReadIntoMemoryAreCapped) {
    struct Case {
        std::string path;
        bool ok;
    } cases[] = {
        {"/bytes?n=" + std::to_string(kMaxBody), true},
        {"/bytes?n=" + std::to_string(kMaxBody + 1), false},
        {"/unsized?n=" + std::to_string(kMaxBody + 1), false},
        {"/chunked?n=" + std::to_string(kMaxBody + 1), false},
    };
    for (const Case& c : cases) {
        Inbox inbox;
        std::string body;
        Answer answer;
        EXPECT_EQ(Get(ServerUrl(c.path), &body, nullptr, nullptr, &answer), c.ok) << c.path;
        EXPECT_LE(body.size(), kMaxBody) << c.path;
        EXPECT_TRUE(body == Pattern(body.size())) << c.path;
        std::vector<std::wstring> lines = Texts(inbox.Drain(), kMsgLog);
        if (c.ok) continue;
        EXPECT_EQ(answer.trouble, Trouble::kTooLarge) << c.path;
        // Once: a bigger answer won't shrink on another try.
        EXPECT_EQ(lines, std::vector<std::wstring>{L"Couldn't get " + ServerUrl(c.path) +
                                                   L": the answer is larger than 8 MB (attempt 1 "
                                                   L"of 3)"});
        // A file has no cap.
        fs::path file = dir / "big.bin";
        EXPECT_TRUE(Get(ServerUrl(c.path), nullptr, &file, nullptr)) << c.path;
        EXPECT_EQ(fs::file_size(file), kMaxBody + 1) << c.path;
    }
    // One that announces more is refused before its body (here: none comes).
    Inbox inbox;
    Answer answer;
    std::string body;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Get(ServerUrl("/stall?n=200000000&wait=30"), &body, nullptr, nullptr, &answer));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(answer.trouble, Trouble::kTooLarge);
}

// A transfer that stalls, before its answer or in its body, ends when the
// user cancels, not when the receive time-out does. The figure goes to the
// test's output.
TEST_F(Http, ACancelEndsAStalledTransfer) {
    for (const char* path : {"/stall?wait=30", "/stall?n=1000000&sent=1000&wait=30"}) {
        fs::path file = dir / "stalled.bin";
        Answer answer;
        bool ok = true;
        std::thread worker([&] { ok = Get(ServerUrl(path), nullptr, &file, L"Git", &answer); });
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        auto asked = std::chrono::steady_clock::now();
        Cancel();
        worker.join();
        auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - asked);
        std::cout << "Cancel of " << path << " answered in " << took.count() << " ms\n";
        EXPECT_FALSE(ok) << path;
        EXPECT_EQ(answer.trouble, Trouble::kCancelled) << path;
        s_cancel = false;
    }
}

// A cancel noticed between two chunks of a body: the chunk after it is
// neither written nor counted.
TEST_F(Http, ACancelRaisedMidBodyWritesNoFurtherChunk) {
    fs::path file = dir / "dripped.bin";
    Answer answer;
    bool ok = true;
    Inbox inbox;
    std::thread worker([&] {
        ok = Get(ServerUrl("/drip?n=3000&step=1000&every=1500"), nullptr, &file, L"Git", &answer);
    });
    // The first chunk is in once its status is posted; the next is a second and a half away.
    bool started = false;
    for (int i = 0; i < 1000 && !started; ++i) {
        for (const Item& item : inbox.Drain()) started = started || item.msg == kMsgStatus;
        if (!started) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    s_cancel = true;
    worker.join();
    ASSERT_TRUE(started);
    EXPECT_FALSE(ok);
    EXPECT_EQ(answer.trouble, Trouble::kCancelled);
    EXPECT_EQ(ReadBytes(file), Pattern(1000));
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

TEST_F(Http, TheTokenGoesToTheGithubApiAlone) {
    const char* cases[][3] = {{"", "/header/Authorization", "Bearer t0ken\n"},
                              {"", "/elsewhere/header/Authorization", ""},  // to another host
                              {"/head", "/header/Authorization", ""},
                              // refused (expired, revoked): asked again without it
                              {"/badtoken", "/badtoken/header/Authorization", ""}};
    os::SetEnv(L"GITHUB_TOKEN", L"");
    os::SetEnv(L"GH_TOKEN", L"t0ken");
    for (auto& c : cases) {
        urls::SetGithubApi(ServerUrl(c[0]));
        std::string body;
        Answer answer;
        answer.lookup = true;
        EXPECT_TRUE(Get(ServerUrl(c[1]), &body, nullptr, nullptr, &answer)) << c[1];
        EXPECT_EQ(body, c[2]) << c[0] << c[1];
    }
    // Refused to three lookups side by side, each 401 held back: logged once.
    os::SetEnv(L"GH_TOKEN", L"t1ken");
    Inbox inbox;
    std::vector<std::jthread> lookups(3);
    for (auto& lookup : lookups)
        lookup = std::jthread([] {
            Answer answer;
            answer.lookup = true;
            Get(ServerUrl("/badtoken/bytes?n=1&hold=300"), nullptr, nullptr, nullptr, &answer);
        });
    lookups.clear();
    auto lines = Texts(inbox.Drain(), kMsgLog);
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         L"GitHub refused the token in GH_TOKEN "
                         L"(expired or revoked?); going on without it"),
              1);
    os::SetEnv(L"GH_TOKEN", L"");
    urls::SetGithubApi(L"https://api.github.com");
}

TEST_F(Http, ProgressWithALengthPostsOnlyNewPercentages) {
    Inbox inbox;
    const std::uint64_t size = 32 << 20;
    fs::path file = dir / "out.bin";
    ASSERT_TRUE(Get(ServerUrl("/bytes?n=" + std::to_string(size)), nullptr, &file, L"Git"));
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
        EXPECT_TRUE(items[1].text.starts_with(L"Downloading Git: ") &&
                    !items[1].text.ends_with(L" MB"))
            << path;
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

// A cancel stops the hashing of a kept part (gigabytes take seconds) and
// leaves the part and its record as they were.
TEST_F(Http, ACancelStopsTheHashingOfAKeptPart) {
    fs::path file = dir / "big.zip.part";
    WriteSized(file, 1ull << 30);
    Answer answer;
    answer.hash = Hash::kSha256;
    answer.kept = {false, 1ull << 30, 2ull << 30, "\"v\""};
    s_cancel = true;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Get(ServerUrl("/bytes?n=10"), nullptr, &file, nullptr, &answer));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(answer.trouble, Trouble::kCancelled);
    EXPECT_EQ(fs::file_size(file), 1ull << 30);
}

// A record is three short lines: one longer than kRecordCap is not read.
TEST(PartRecord, OnlyTheCapIsRead) {
    TempDir dir;
    fs::path part = dir / "a.zip.part";
    WriteBytes(part, "kept");
    for (std::size_t url : {std::size_t{100}, kRecordCap}) {
        std::wstring address = L"http://h/" + std::wstring(url, L'a');
        Record(part, address, 10, "\"v\"");
        EXPECT_EQ(KeptFor(part, address).size, url < kRecordCap ? 4u : 0u) << url;
    }
}

// Only a download with a length and a validator of one line can be resumed.
TEST(PartRecord, IsWrittenOnlyForWhatCanBeResumed) {
    TempDir dir;
    fs::path part = dir / "a.zip.part", record = dir / "a.zip.part.info";
    WriteBytes(part, "kept");
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "\"v\""}, {10, ""}, {10, "\"v\"\nx"}};
    for (const auto& [length, validator] : cases) {
        Record(part, L"http://h/a", 10, "\"v\"");
        ASSERT_TRUE(Exists(record));
        Record(part, L"http://h/a", length, validator);
        EXPECT_FALSE(Exists(record)) << length << " " << validator;
    }
}

// Pieces that fill the digest's ring many times over all reach the hash, in order.
TEST(Digest, AFullRingDrainsIntoTheRightHash) {
    std::string piece = Pattern(1 << 20);
    Digest digest(Hash::kSha256);
    Hasher hasher(Hash::kSha256);
    for (int i = 0; i < 64; ++i) {
        piece[0] = static_cast<char>(i);
        digest.Add(piece.data(), piece.size());
        hasher.Add(piece.data(), piece.size());
    }
    EXPECT_EQ(digest.Finish(), hasher.Finish());
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
