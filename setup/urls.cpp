#include "urls.h"

namespace setup::urls {

namespace {

std::wstring s_githubApi = L"https://api.github.com";
std::wstring s_github = L"https://github.com";
std::wstring s_nuget = L"https://api.nuget.org";

std::wstring Trimmed(std::wstring base) {
    while (!base.empty() && base.back() == L'/') base.pop_back();
    return base;
}

}  // namespace

std::wstring GithubApi() {
    return s_githubApi;
}
std::wstring Github() {
    return s_github;
}
std::wstring Nuget() {
    return s_nuget;
}

std::wstring NugetDomain() {
    if (s_nuget == L"https://api.nuget.org") return L"nuget.org";
    return HostOf(s_nuget);
}

std::wstring HostOf(const std::wstring& url) {
    std::wstring host = url;
    auto scheme = host.find(L"://");
    if (scheme != std::wstring::npos) host.erase(0, scheme + 3);
    auto slash = host.find(L'/');
    if (slash != std::wstring::npos) host.erase(slash);
    return host;
}

void SetGithubApi(const std::wstring& base) {
    s_githubApi = Trimmed(base);
}
void SetGithub(const std::wstring& base) {
    s_github = Trimmed(base);
}
void SetNuget(const std::wstring& base) {
    s_nuget = Trimmed(base);
}

}  // namespace setup::urls
