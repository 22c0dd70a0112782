#include "proxy.h"

#include <cwctype>
#include <vector>

#include "os.h"

namespace setup {

namespace {

std::vector<std::wstring> Entries(const std::wstring& list) {
    std::vector<std::wstring> entries;
    std::wstring entry;
    for (wchar_t c : list + L";") {
        if (c == L';' || std::iswspace(c)) {
            if (!entry.empty()) entries.push_back(entry);
            entry.clear();
        } else {
            entry += c;
        }
    }
    return entries;
}

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

bool Matches(const wchar_t* pattern, const wchar_t* text) {
    if (*pattern == L'\0') return *text == L'\0';
    if (*pattern == L'*')
        return Matches(pattern + 1, text) || (*text && Matches(pattern, text + 1));
    return *text && *pattern == *text && Matches(pattern + 1, text + 1);
}

}  // namespace

std::wstring ProxyForScheme(const std::wstring& list, const std::wstring& scheme) {
    std::wstring plain, own;
    for (const std::wstring& entry : Entries(list)) {
        std::size_t equals = entry.find(L'=');
        if (equals == std::wstring::npos) {
            if (plain.empty()) plain = entry;
        } else if (Lower(entry.substr(0, equals)) == Lower(scheme) && own.empty()) {
            own = entry.substr(equals + 1);
        }
    }
    std::wstring proxy = own.empty() ? plain : own;
    if (proxy.empty() || proxy.find(L"://") != std::wstring::npos) return proxy;
    return L"http://" + proxy;
}

bool Bypassed(const std::wstring& list, const std::wstring& host) {
    std::wstring name = Lower(host);
    for (const std::wstring& entry : Entries(list)) {
        if (Lower(entry) == L"<local>") {
            if (name.find(L'.') == std::wstring::npos) return true;
        } else if (Matches(Lower(entry).c_str(), name.c_str())) {
            return true;
        }
    }
    return false;
}

std::wstring GitProxy(const std::wstring& url) {
    std::wstring proxy = os::ProxyFor(url);
    return proxy.empty() ? L"" : L"-c http.proxy=" + proxy + L" ";
}

}  // namespace setup
