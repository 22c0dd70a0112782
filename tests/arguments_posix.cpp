#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include "arguments_posix.h"
#include "cli.h"
#include "os.h"
#include "setup.h"

namespace setup::test {
namespace {

TEST(Arguments, SpacesOutsideQuotesSeparate) {
    using Args = std::vector<std::string>;
    const std::pair<const char*, Args> cases[] = {
        {"git status", {"git", "status"}},
        {"  git   status  ", {"git", "status"}},
        {"git\tstatus", {"git", "status"}},
        {"\"/opt/my tools/tar\" -xf \"a b.zip\"", {"/opt/my tools/tar", "-xf", "a b.zip"}},
        {"git commit -m \"\"", {"git", "commit", "-m", ""}},
        {"x\"a b\"y z", {"xa by", "z"}},
        // Backslashes count only before a quote: pairs halve, an odd one escapes it.
        {"\"C:\\Games\\\\\" next", {"C:\\Games\\", "next"}},
        {"\"C:\\Games\\\" next", {"C:\\Games\" next"}},
        {"a\\\\b \\\\", {"a\\\\b", "\\\\"}},
        {"\"fq\\\"x/inst\"", {"fq\"x/inst"}},
        {"\\\\\\\"q", {"\\\"q"}},
        {"\"unclosed quote", {"unclosed quote"}},
        {"", {}},
        {"   ", {}},
    };
    for (const auto& [line, args] : cases) EXPECT_EQ(os::Arguments(line), args) << line;
}

// A Linux file name is bytes: whatever they are, a path goes through the
// program's text and reaches the file system and a child's command line
// unchanged, and text stays as it was.
TEST(Arguments, PathsKeepTheirBytes) {
    const std::string paths[] = {
        "/tmp/\xff\xfe",         // not UTF-8 at all
        "games/disc\xe9.iso",    // Latin-1
        "caf\xc3\xa9/\xe9",      // UTF-8 and not, in one path
        "a\xc3",                 // a sequence cut short
        "\xed\xa0\x80",          // an encoded surrogate
        "\xef\xbf\xbd",          // U+FFFD itself
        "plain/\xe2\x82\xac 5",  // UTF-8
    };
    for (const std::string& bytes : paths) {
        std::wstring text = PathText(fs::path(bytes));
        EXPECT_EQ(ToPath(text).native(), bytes) << bytes;
        EXPECT_EQ(os::Arguments(Narrow(L"git -C " + Quote(ToPath(text)))),
                  (std::vector<std::string>{"git", "-C", bytes}))
            << bytes;
    }
    EXPECT_EQ(PathText(fs::path("caf\xc3\xa9")), L"caf\u00E9");
}

// Without a HOME, "~" is the home the password database gives; "~user" is that user's.
TEST(Arguments, TildeIsAHomeFromThePasswordDatabase) {
    for (bool unset : {false, true}) {  // each test runs in a process of its own
        unset ? os::UnsetEnv(L"HOME") : os::SetEnv(L"HOME", L"");
        EXPECT_EQ(ParseArgs({L"--install-dir=~/x"}, "/d").choices.installDir,
                  fs::path(getpwuid(getuid())->pw_dir) / "x");
    }
    EXPECT_EQ(ParseArgs({L"--source", L"~root/a"}, "/d").choices.source,
              fs::path(getpwnam("root")->pw_dir) / "a");
}

}  // namespace
}  // namespace setup::test
