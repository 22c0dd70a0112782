#include <gtest/gtest.h>

#include <regex>

#include "setup.h"
#include "temp.h"

namespace setup::test {
namespace {

// The string literals of the program's sources, those written side by side
// joined as the compiler joins them, and their escapes undone.
std::string Literals() {
    static const std::regex token(
        R"re(//[^\n]*|R"(\w*)\([\s\S]*?\)\1"|'(?:[^'\\\n]|\\.)+'|L?"((?:[^"\\\n]|\\.)*)")re");
    std::string all;
    for (const char* folder : {"setup", "maintenance"})
        for (const auto& entry : fs::recursive_directory_iterator(fs::path(SOURCE_DIR) / folder)) {
            if (!entry.is_regular_file()) continue;
            std::string text = ReadBytes(entry.path()), between;
            for (std::sregex_iterator at(text.begin(), text.end(), token), end; at != end; ++at) {
                between = at->prefix().str();
                if (!(*at)[2].matched) continue;
                if (between.find_first_not_of(" \t\r\n") != std::string::npos) all += '\n';
                all += std::regex_replace((*at)[2].str(), std::regex(R"(\\(.))"), "$1");
            }
        }
    return all;
}

// Each sentence the docs quote (a capital letter to a full stop, "?" or
// "…") is the program's own text: what varies in it ("…", a placeholder in
// capitals, a figure, an example's names) stands for any text, and each
// piece between, sentence by sentence, is in the sources.
TEST(Docs, EachQuotedMessageIsTheProgramsText) {
    const std::string code = Literals();
    const std::regex quote(R"re("([A-Z][^"]*(\.|\?|…))")re");
    const std::regex varies(
        R"re(…|\.\.\.|\. |[()]|C:\\Corvane-Recomp|Kitware/CMake|drive C:|/home|signal 9|killed|)re"
        R"re([0-9]+ compiles|\b[A-Z][A-Z_]+\b|[0-9][0-9.:]*|\b(CMake|Clang|GitHub|C:|v1\.2\.0|3f4e5d6))re");
    // Other programs' words, quoted where the docs say how Setup reads them.
    const std::string theirs[] = {"Error exit delayed from previous errors."};
    for (const char* doc : {"README.md", "docs/using.md", "docs/behaviour.md"}) {
        std::string text = ReadBytes(fs::path(SOURCE_DIR) / doc);
        ASSERT_FALSE(text.empty()) << doc;
        for (std::size_t block; (block = text.find("```")) != std::string::npos;)
            text.erase(block, text.find("```", block + 3) + 3 - block);
        text = std::regex_replace(text, std::regex(R"(\s*\n\s*)"), " ");
        for (std::sregex_iterator at(text.begin(), text.end(), quote), end; at != end; ++at) {
            std::string said = (*at)[1].str();
            if (std::find(std::begin(theirs), std::end(theirs), said) != std::end(theirs)) continue;
            std::sregex_token_iterator piece(said.begin(), said.end(), varies, -1), none;
            for (; piece != none; ++piece)
                EXPECT_TRUE(piece->length() < 4 || code.find(piece->str()) != std::string::npos)
                    << doc << ": \"" << said << "\" lacks \"" << piece->str() << '"';
        }
    }
}

}  // namespace
}  // namespace setup::test
