// The docs are the same for both platforms: read once, natively.
#include <gtest/gtest.h>

#include <regex>

#include "setup.h"
#include "temp.h"

namespace setup::test {
namespace {

// Each sentence the docs quote (a capital letter to ".", "?" or "…") is the
// program's own: each piece of it between what varies ("…", a placeholder
// in capitals, a figure, an example's names) and sentence ends is in the
// sources, their string literals written side by side joined.
TEST(Docs, EachQuotedMessageIsTheProgramsText) {
    std::string code;
    for (const char* folder : {"setup", "maintenance"})
        for (const auto& file : fs::recursive_directory_iterator(fs::path(SOURCE_DIR) / folder))
            if (file.is_regular_file()) code += ReadBytes(file.path());
    code = std::regex_replace(std::regex_replace(code, std::regex(R"re("\s+L?")re"), ""),
                              std::regex(R"(\\(["\\]))"), "$1");
    const std::regex quote(R"re("([A-Z][^"]*(\.|\?|…))")re"),
        varies(R"re(…|\.\.\.|\. |[()]|C:\\Corvane-Recomp|Kitware/CMake|drive C:|/home|signal 9|)re"
               R"re(killed|[0-9]+ compiles|\b[A-Z][A-Z_]+\b|[0-9][0-9.:]*|\b(CMake|Clang|GitHub|)re"
               R"re(C:|v1\.2\.0|3f4e5d6))re");
    for (const char* doc : {"README.md", "docs/using.md", "docs/behaviour.md"}) {
        std::string text = ReadBytes(fs::path(SOURCE_DIR) / doc);
        ASSERT_FALSE(text.empty()) << doc;
        for (std::size_t block; (block = text.find("```")) != std::string::npos;)
            text.erase(block, text.find("```", block + 3) + 3 - block);
        text = std::regex_replace(text, std::regex(R"(\s*\n\s*)"), " ");
        for (std::sregex_iterator at(text.begin(), text.end(), quote), end; at != end; ++at) {
            std::string said = (*at)[1].str();
            std::sregex_token_iterator piece(said.begin(), said.end(), varies, -1), none;
            // bsdtar's own words, quoted where the docs say how they are read.
            for (; piece != none && said != "Error exit delayed from previous errors."; ++piece)
                EXPECT_TRUE(piece->length() < 4 || code.find(piece->str()) != std::string::npos)
                    << doc << ": \"" << said << "\" lacks \"" << piece->str() << '"';
        }
    }
}

}  // namespace
}  // namespace setup::test
