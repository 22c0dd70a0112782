#include <gtest/gtest.h>

#include <cctype>
#include <set>

#include "language.h"
#include "marked.h"
#include "setup.h"

namespace setup::test {
namespace {

// The things a text names, each once: "{}" in turn, or "{2}" by number.
std::multiset<int> Places(std::string_view text) {
    std::multiset<int> places;
    int next = 0;
    for (std::size_t at = text.find('{'); at != std::string_view::npos;
         at = text.find('{', at + 1)) {
        if (text.substr(at, 2) == "{}") places.insert(++next);
        if (at + 2 < text.size() && std::isdigit(static_cast<unsigned char>(text[at + 1])) &&
            text[at + 2] == '}')
            places.insert(text[at + 1] - '0');
    }
    return places;
}

// Every text the code marks has a translation in every language, with the
// same places, and no language has a text the code no longer marks.
TEST(Languages, EveryMarkedTextIsTranslatedWithItsPlaces) {
    std::set<std::string_view> marked;
    for (unsigned i = 0; i < kMarkedCount; ++i) marked.insert(kMarked[i].text);
    ASSERT_GT(marked.size(), 100u);
    std::vector<Language> all = Languages();
    ASSERT_EQ(all.front().code, "en");
    ASSERT_EQ(all.size(), 9u);
    for (const Language& language : all) {
        if (language.code == "en") continue;
        SCOPED_TRACE(language.code);
        std::set<std::string_view> has;
        for (const Pair& p : Pairs(language.code)) {
            EXPECT_TRUE(has.insert(p.english).second) << "twice: " << p.english;
            EXPECT_TRUE(marked.count(p.english)) << "no longer in the code: " << p.english;
            EXPECT_FALSE(p.shown.empty()) << p.english;
            EXPECT_EQ(Places(p.shown), Places(p.english)) << p.english;
        }
        for (unsigned i = 0; i < kMarkedCount; ++i)
            EXPECT_TRUE(has.count(kMarked[i].text))
                << "untranslated, " << kMarked[i].where << ": " << kMarked[i].text;
    }
}

TEST(Languages, TheSystemsNamesPickByLanguageAndScript) {
    const std::pair<const char*, const char*> cases[] = {
        {"de_DE.UTF-8", "de"},
        {"de-AT", "de"},
        {"zh-Hans-CN", "zh-CN"},
        {"zh-CN", "zh-CN"},
        {"zh_SG.GB2312", "zh-CN"},
        {"zh-TW", ""},
        {"zh-Hant-HK", ""},
        {"pt-BR", "pt-BR"},
        {"pt_PT.UTF-8", "pt-BR"},
        {"es-MX", "es"},
        {"es_419", "es"},
        {"ja_JP.UTF-8", "ja"},
        {"ko-KR", "ko"},
        {"ru_RU.KOI8-R", "ru"},
        {"fr-CA", "fr"},
        {"en-GB", "en"},
        {"C", ""},
        {"POSIX", ""},
        {"C.UTF-8", ""},
        {"fi_FI.UTF-8", ""},
        {"", ""},
        {"dE_de@euro", "de"},
        {"deu", ""},
    };
    for (auto [locale, code] : cases) EXPECT_EQ(Match(locale), code) << locale;
    // The first preferred language there is; English when none is.
    EXPECT_EQ(Pick({L"zh-Hant-TW", L"ja-JP", L"en-US"}), "ja");
    EXPECT_EQ(Pick({L"fi-FI", L"sv-SE"}), "en");
    EXPECT_EQ(Pick({}), "en");
}

// Texts made in English read back in the language shown: whole, by their
// form with what they name kept, a figure with the language's separator.
TEST(Languages, ShownTranslatesWholeTextsAndForms) {
    ASSERT_TRUE(UseLanguage("de"));
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"Ready.", L"Bereit."},
        {Say(L"Couldn't create {}: {}.", L"C:\\Spiele (alt)", L"Access is denied"),
         L"C:\\Spiele (alt) konnte nicht erstellt werden: Access is denied."},
        {Say(L"{} free on that drive; about 12 GB is needed (6 GB once the disc is extracted).",
             L"1.5 GB"),
         L"1,5 GB frei auf diesem Laufwerk; nötig sind etwa 12 GB (6 GB, wenn die Disc schon "
         L"entpackt ist)."},
        {L"Step 3 of 4: Building (the first build takes 10-30 minutes)",
         L"Schritt 3 von 4: Build läuft (der erste Build dauert 10-30 Minuten)"},
        {L"Step 3 of 4: Extracting the game's files",
         L"Schritt 3 von 4: Extracting the game's files"},
        {L"2 MB of 11 MB, 2.5 MB/s, about 14 s left (CMake: retrying)",
         L"2 MB von 11 MB, 2,5 MB/s, etwa noch 14 s (CMake: neuer Versuch)"},
        {L"Building (the first build takes 10-30 minutes): step 3 of 40, about 5 min left (30 %)",
         L"Build läuft (der erste Build dauert 10-30 Minuten): Schritt 3 von 40, etwa noch 5 min "
         L"(30 %)"},
        {L"Done. Start the game with the launcher.\n\nInstalled in /g/Corvane-Recomp 1.2. The "
         L"source code was updated from v1.0 to v1.1.\n\nFreed 3.5 GB (the next update downloads "
         L"the tools again and rebuilds from scratch).",
         L"Fertig. Starte das Spiel mit dem Launcher.\n\nInstalliert in /g/Corvane-Recomp 1.2. Der "
         L"Quellcode wurde von v1.0 auf v1.1 aktualisiert.\n\n3,5 GB freigegeben (das nächste "
         L"Update lädt die Werkzeuge neu und baut alles von vorn)."},
        {L"Done. Start the game with the launcher.\n\nInstalled in /g/a, b.",
         L"Fertig. Starte das Spiel mit dem Launcher.\n\nInstalliert in /g/a, b."},
        {L"A text nobody translated.", L"A text nobody translated."},
    };
    for (const auto& [english, shown] : cases) EXPECT_EQ(Shown(english), shown) << Narrow(english);
    EXPECT_FALSE(UseLanguage("xx"));
    EXPECT_EQ(Current().code, "en");
    EXPECT_EQ(Shown(L"Ready."), L"Ready.");
}

}  // namespace
}  // namespace setup::test
