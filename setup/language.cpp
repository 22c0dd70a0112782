#include "language.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "language_table.h"
#include "setup.h"

namespace setup {

namespace {

struct Form {
    std::vector<std::wstring> pieces;  // the literal text around each "{}"
    std::wstring shown;
    std::size_t letters = 0;  // the pieces' length
    bool lines = false;       // spans lines: a one-line form never reads text that does
};

struct Active {
    Language language;
    std::wstring decimal = L".";
    std::map<std::wstring, std::wstring, std::less<>> whole;
    std::vector<Form> forms;
};

Active s_active{{"en", "English", "English"}, L".", {}, {}};

std::vector<std::wstring> Pieces(std::wstring_view form) {
    std::vector<std::wstring> pieces(1);
    for (std::size_t at = 0; at < form.size(); ++at) {
        if (form.compare(at, 2, L"{}") == 0) {
            pieces.emplace_back();
            ++at;
        } else {
            pieces.back() += form[at];
        }
    }
    return pieces;
}

bool Balanced(const std::wstring& text) {
    int open = 0;
    for (wchar_t c : text) {
        if (c == L'(') ++open;
        if (c == L')' && --open < 0) return false;
    }
    return open == 0;
}

// The parts of `text` that the form's places hold, each with its brackets
// closed ("Building (...): step 3 (30 %)" is "{} ({})" at its last " (");
// none when it isn't the form's.
bool Parts(const Form& form, const std::wstring& text, std::vector<std::wstring>& parts) {
    const auto& p = form.pieces;
    if (!form.lines && text.find(L'\n') != std::wstring::npos) return false;
    if (text.size() < form.letters || text.compare(0, p[0].size(), p[0]) != 0) return false;
    std::size_t end = text.size() - p.back().size();
    if (text.compare(end, std::wstring::npos, p.back()) != 0) return false;
    std::size_t at = p[0].size();
    parts.clear();
    for (std::size_t i = 1; i + 1 < p.size(); ++i) {
        std::size_t found = text.find(p[i], at + 1);
        while (found != std::wstring::npos && !Balanced(text.substr(at, found - at)))
            found = text.find(p[i], found + 1);
        if (found == std::wstring::npos || found + p[i].size() > end) return false;
        parts.push_back(text.substr(at, found - at));
        at = found + p[i].size();
    }
    if (at >= end || !Balanced(text.substr(at, end - at))) return false;
    parts.push_back(text.substr(at, end - at));
    return true;
}

bool Digit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// "1.5", "1.5 GB": a figure, shown with the language's decimal separator.
std::wstring Figure(std::wstring part) {
    std::size_t dot = part.find(L'.');
    if (dot == std::wstring::npos || dot == 0 || dot + 1 >= part.size()) return part;
    std::size_t end = dot + 1;
    while (end < part.size() && Digit(part[end])) ++end;
    bool number = std::all_of(part.begin(), part.begin() + dot, Digit) && end > dot + 1;
    if (number && (end == part.size() || part[end] == L' ')) part.replace(dot, 1, s_active.decimal);
    return part;
}

// A text's translation and how much of it the table's words cover: of the
// forms a text fits, the one that leaves the least of it in English wins, and
// of equals the plainest (a join such as "{}, {}" before what it joins).
struct Reading {
    std::wstring text;
    std::size_t covered = 0;
};
using Readings = std::map<std::wstring, Reading, std::less<>>;

Reading Translate(const std::wstring& text, int depth, Readings& seen);

// The number of the thing named by a place at `at` ("{}": the next one,
// "{2}": the second), counting `next` on; 0 where no place starts.
std::size_t Place(const std::wstring& form, std::size_t at, std::size_t& next) {
    if (form.compare(at, 2, L"{}") == 0) return ++next;
    if (at + 2 < form.size() && form[at] == L'{' && Digit(form[at + 1]) && form[at + 2] == L'}')
        return static_cast<std::size_t>(form[at + 1] - L'0');
    return 0;
}

Reading ByForm(const std::wstring& text, int depth, Readings& seen) {
    Reading best{Figure(text), 0};
    std::vector<std::wstring> parts;
    for (const Form& form : s_active.forms) {
        if (!Parts(form, text, parts)) continue;
        Reading read{{}, form.letters};
        std::size_t next = 0;
        for (std::size_t at = 0; at < form.shown.size(); ++at) {
            // "{2}" where a language puts the second thing named first.
            std::size_t number = Place(form.shown, at, next);
            if (number == 0 || number > parts.size()) {
                read.text += form.shown[at];
                continue;
            }
            Reading part = Translate(parts[number - 1], depth + 1, seen);
            read.text += part.text;
            read.covered += part.covered;
            at = form.shown.find(L'}', at);
        }
        if (read.covered > best.covered) best = std::move(read);
    }
    return best;
}

Reading Translate(const std::wstring& text, int depth, Readings& seen) {
    if (auto found = s_active.whole.find(text); found != s_active.whole.end())
        return {found->second, text.size()};
    if (auto found = seen.find(text); found != seen.end()) return found->second;
    Reading read = depth > 6 ? Reading{text, 0} : ByForm(text, depth, seen);
    seen.emplace(text, read);
    return read;
}

std::string Lower(std::string_view text) {
    std::string out;
    for (char c : text) out += c == '_' ? '-' : static_cast<char>(std::tolower(c));
    return out;
}

std::wstring Unpack(const char*& at) {
    std::wstring text = Widen(at);
    at += std::char_traits<char>::length(at) + 1;
    return text;
}

}  // namespace

std::wstring Fill(std::wstring_view form, std::initializer_list<std::wstring_view> parts) {
    std::wstring out, text(form);
    std::size_t next = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        std::size_t number = Place(text, at, next);
        if (number == 0 || number > parts.size()) {
            out += text[at];
            continue;
        }
        out += parts.begin()[number - 1];
        at = text.find(L'}', at);
    }
    return out;
}

std::vector<Language> Languages() {
    std::vector<Language> all;
    for (unsigned i = 0; i < kTableCount; ++i)
        all.push_back({kTables[i].code, kTables[i].name, kTables[i].english});
    return all;
}

std::wstring LanguageCodes() {
    std::wstring codes;
    for (const Language& l : Languages()) codes += (codes.empty() ? L"" : L", ") + Widen(l.code);
    return codes;
}

std::string Match(std::string_view locale) {
    // "de_DE.UTF-8@euro": the language, its script or region; not the encoding.
    std::string name = Lower(locale.substr(0, locale.find_first_of(".@")));
    for (unsigned i = 0; i < kTableCount; ++i) {
        std::string_view matches = kTables[i].matches;
        for (std::size_t at = 0; at < matches.size();) {
            std::size_t end = std::min(matches.find(' ', at), matches.size());
            std::string_view prefix = matches.substr(at, end - at);
            if (!prefix.empty() && name.rfind(prefix, 0) == 0 &&
                (name.size() == prefix.size() || name[prefix.size()] == '-'))
                return kTables[i].code;
            at = end + 1;
        }
    }
    return {};
}

std::string Pick(const std::vector<std::wstring>& preferred) {
    for (const std::wstring& name : preferred)
        if (std::string code = Match(Narrow(name)); !code.empty()) return code;
    return "en";
}

std::wstring LanguageMistake(const std::wstring& code) {
    return Say(L"There is no language {}: choose one of {}.", code, LanguageCodes());
}

bool UseLanguage(const std::string& code) {
    for (unsigned i = 0; i < kTableCount; ++i) {
        const LanguageTable& t = kTables[i];
        if (Lower(t.code) != Lower(code)) continue;
        Active active{{t.code, t.name, t.english}, Widen(t.decimal), {}, {}};
        for (const char *at = t.texts, *end = t.texts + t.size; at < end;) {
            std::wstring english = Unpack(at), shown = Unpack(at);
            // A form is a whole text too, for whoever fills it in after.
            active.whole.emplace(english, shown);
            if (english.find(L"{}") == std::wstring::npos) continue;
            Form form{Pieces(english), std::move(shown)};
            for (const auto& piece : form.pieces) form.letters += piece.size();
            form.lines = english.find(L'\n') != std::wstring::npos;
            active.forms.push_back(std::move(form));
        }
        std::stable_sort(active.forms.begin(), active.forms.end(),
                         [](const Form& a, const Form& b) { return a.letters < b.letters; });
        s_active = std::move(active);
        return true;
    }
    UseLanguage("en");
    return false;
}

const Language& Current() {
    return s_active.language;
}

std::wstring Shown(const std::wstring& english) {
    if (s_active.whole.empty() && s_active.forms.empty()) return english;
    Readings seen;
    Reading whole = Translate(english, 0, seen);
    if (whole.covered > 0 || english.find(L'\n') == std::wstring::npos) return whole.text;
    std::wstring out;
    for (std::size_t at = 0; at <= english.size();) {
        std::size_t end = std::min(english.find(L'\n', at), english.size());
        out += Translate(english.substr(at, end - at), 0, seen).text;
        if (end < english.size()) out += L'\n';
        at = end + 1;
    }
    return out;
}

std::vector<Pair> Pairs(const std::string& code) {
    std::vector<Pair> pairs;
    for (unsigned i = 0; i < kTableCount; ++i) {
        if (kTables[i].code != code) continue;
        for (const char *at = kTables[i].texts, *end = at + kTables[i].size; at < end;) {
            std::string_view english = at;
            at += english.size() + 1;
            std::string_view shown = at;
            at += shown.size() + 1;
            pairs.push_back({english, shown});
        }
    }
    return pairs;
}

}  // namespace setup
