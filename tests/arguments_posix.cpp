#include <gtest/gtest.h>

#include "arguments_posix.h"

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

}  // namespace
}  // namespace setup::test
