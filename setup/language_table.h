// The compiled-in tables of resources/languages/, as the build generates them
// (resources/languages/table.py).
#pragma once

namespace setup {

struct LanguageTable {
    const char* code;
    const char* name;
    const char* english;
    const char* matches;  // locale prefixes, lower case, separated by spaces
    const char* decimal;
    // Pairs of texts, English then its translation, UTF-8, each ended by a
    // zero byte.
    const char* texts;
    unsigned size;
};
extern const LanguageTable kTables[];
extern const unsigned kTableCount;

}  // namespace setup
