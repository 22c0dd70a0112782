// The \\?\ form that renames, deletes and walks hand the system: Wine takes
// any path, so what Windows would refuse shows only here.
#include <gtest/gtest.h>

#include "win.h"

namespace setup::test {
namespace {

TEST(LongPath, FullPathsTakeThePrefixAndComeBackAsGiven) {
    const struct {
        const wchar_t* path;
        const wchar_t* system;
        const wchar_t* shown;
    } cases[] = {
        {L"C:\\Games\\Corvane", L"\\\\?\\C:\\Games\\Corvane", L"C:\\Games\\Corvane"},
        // The prefix turns off the system's tidying: separators, dots and a
        // trailing separator (which a name added after it would double).
        {L"C:/Games/Corvane/", L"\\\\?\\C:\\Games\\Corvane", L"C:\\Games\\Corvane"},
        {L"C:\\Games\\.\\x\\..\\Corvane", L"\\\\?\\C:\\Games\\Corvane", L"C:\\Games\\Corvane"},
        {L"C:\\", L"\\\\?\\C:\\", L"C:\\"},
        {L"\\\\nas\\games\\Corvane", L"\\\\?\\UNC\\nas\\games\\Corvane",
         L"\\\\nas\\games\\Corvane"},
        {L"\\\\?\\C:\\Games", L"\\\\?\\C:\\Games", L"C:\\Games"},
        {L"Games\\Corvane", L"Games\\Corvane", L"Games\\Corvane"},  // relative: left to the system
    };
    for (const auto& c : cases) {
        std::wstring system = os::Long(c.path);
        EXPECT_EQ(system, c.system) << testing::PrintToString(std::wstring(c.path));
        EXPECT_EQ(os::Shown(system), c.shown);
    }
}

}  // namespace
}  // namespace setup::test
