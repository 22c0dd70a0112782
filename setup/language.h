// The languages the window and the console speak. The English text is the
// key: a text the player reads is written in English where it is made,
// marked with T (a whole text) or Say (with "{}" for each thing it names),
// and translated only where it is shown (Shown), from the tables in
// resources/languages/ that the build compiles in. setup.log keeps the
// English, for whoever reads a bug report.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace setup {

// Marks a whole text the player reads.
constexpr const wchar_t* T(const wchar_t* english) {
    return english;
}
// A marked text with each "{}" replaced by the next of `parts`, in English.
std::wstring Fill(std::wstring_view form, std::initializer_list<std::wstring_view> parts);
template <class... P>
std::wstring Say(const wchar_t* form, const P&... parts) {
    return Fill(form, {std::wstring_view(parts)...});
}

struct Language {
    std::string code;     // "de", "zh-CN"
    std::string name;     // in its own words: "Deutsch"
    std::string english;  // "German"
};
// Every language there is, English first.
std::vector<Language> Languages();
// The codes, as --help lists them: "en, de, ...".
std::wstring LanguageCodes();
// The language a locale or language name stands for ("de_DE.UTF-8",
// "zh-Hans-CN", "pt-BR", "ja"), by its language and script; empty for none.
std::string Match(std::string_view locale);
// The first of the user's preferred languages there is, else English.
std::string Pick(const std::vector<std::wstring>& preferred);
// What is wrong with a --language that names none of them.
std::wstring LanguageMistake(const std::wstring& code);
// Shows every text in that language from now on; false (and English) for a
// code that isn't one.
bool UseLanguage(const std::string& code);
const Language& Current();

// The text in the language in use: a whole text as it is, or one made by
// Say from its form with each part shown in turn (a number with the
// language's decimal separator), or each line of it so; English where the
// table has nothing.
std::wstring Shown(const std::wstring& english);

// The table's raw pairs of one language (English, translation), UTF-8.
struct Pair {
    std::string_view english, shown;
};
std::vector<Pair> Pairs(const std::string& code);

}  // namespace setup
