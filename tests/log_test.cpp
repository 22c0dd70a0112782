#include <gtest/gtest.h>

#include "inbox.h"
#include "setup.h"
#include "temp.h"

namespace setup::test {
namespace {

// The line end setup.log uses on this platform (a text-mode stream).
#ifdef _WIN32
const std::string kEnd = "\r\n";
#else
const std::string kEnd = "\n";
#endif

TEST(Log, WritesUtf8LinesAndPostsCopies) {
    TempDir dir;
    Inbox inbox;
    OpenLog(dir.path());
    Log(L"\u00DC");
    Log(L"");
    Status(L"Checking the tools");
    CloseLog();

    EXPECT_EQ(ReadBytes(dir / "setup.log"),
              "\xC3\x9C" + kEnd + kEnd + "== Checking the tools" + kEnd);
    auto items = inbox.Drain();
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].msg, kMsgLog);
    EXPECT_EQ(items[0].text, L"\u00DC");
    EXPECT_EQ(items[1].msg, kMsgLog);
    EXPECT_EQ(items[1].text, L"");
    EXPECT_EQ(items[2].msg, kMsgLog);
    EXPECT_EQ(items[2].text, L"== Checking the tools");
    EXPECT_EQ(items[3].msg, kMsgStatus);
    EXPECT_EQ(items[3].text, L"Checking the tools");
}

TEST(Log, MultiLineMessageKeepsItsLineFeeds) {
    TempDir dir;
    Inbox inbox;
    OpenLog(dir.path());
    Log(L"Done.\n\nFreed 0 MB.");
    CloseLog();
    EXPECT_EQ(ReadBytes(dir / "setup.log"), "Done." + kEnd + kEnd + "Freed 0 MB." + kEnd);
}

TEST(Log, LinesAfterCloseReachOnlyTheWindow) {
    TempDir dir;
    Inbox inbox;
    OpenLog(dir.path());
    Log(L"kept");
    CloseLog();
    Log(L"after");
    EXPECT_EQ(ReadBytes(dir / "setup.log"), "kept" + kEnd);
    EXPECT_EQ(Texts(inbox.Drain(), kMsgLog), (std::vector<std::wstring>{L"kept", L"after"}));
}

TEST(Log, UnopenableLogIsIgnored) {
    TempDir dir;
    Inbox inbox;
    std::filesystem::create_directories(dir / "setup.log");  // a folder in the way
    OpenLog(dir.path());
    Log(L"line");
    CloseLog();
    EXPECT_TRUE(std::filesystem::is_directory(dir / "setup.log"));
    EXPECT_EQ(Texts(inbox.Drain(), kMsgLog), std::vector<std::wstring>{L"line"});
}

TEST(Log, CheckCancelThrowsCancelled) {
    s_cancel = false;
    EXPECT_NO_THROW(CheckCancel());
    s_cancel = true;
    try {
        CheckCancel();
        ADD_FAILURE() << "no throw";
    } catch (const Failed& failed) {
        EXPECT_EQ(failed.message, L"Cancelled.");
    }
    s_cancel = false;
}

TEST(Log, FailCarriesTheWholeMessage) {
    try {
        Fail(L"Couldn't create C:\\x");
    } catch (const Failed& failed) {
        EXPECT_EQ(failed.message, L"Couldn't create C:\\x");
        return;
    }
    ADD_FAILURE() << "no throw";
}

struct WidenCase {
    std::string bytes;
    std::wstring text;
};

TEST(Widen, DecodesUtf8AndFallsBackForOtherBytes) {
    const WidenCase cases[] = {
        {"", L""},
        {"plain", L"plain"},
        {"\xC3\xA9", L"\u00E9"},
        {"\xE9", L"\u00E9"},  // not UTF-8: the single-byte code page
        {"caf\xE9 ok", L"caf\u00E9 ok"},
        {"\xE2\x82\xAC", L"\u20AC"},
        {"\xDF\xBF", L"\u07FF"},
        {"\xE0\xA0\x80", L"\u0800"},
        {std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
    };
    for (const auto& c : cases) EXPECT_EQ(Widen(c.bytes), c.text) << c.bytes;
}

TEST(Widen, NarrowRoundTrips) {
    const std::wstring texts[] = {L"", L"ascii", L"\u00DC\u00E9", L"\u20AC 5", L"\u65E5\u672C"};
    for (const auto& t : texts) EXPECT_EQ(Widen(Narrow(t)), t);
    // The edges of the two- and three-byte forms; a lone surrogate has none.
    const WidenCase encoded[] = {{"\xDF\xBF", L"\u07FF"},
                                 {"\xE0\xA0\x80", L"\u0800"},
                                 {"\xEF\xBF\xBD", std::wstring(1, wchar_t(0xD800))},
                                 {"\xF0\x9F\x98\x80", L"\U0001F600"}};
    for (const auto& c : encoded) EXPECT_EQ(Narrow(c.text), c.bytes) << c.bytes;
}

}  // namespace
}  // namespace setup::test
