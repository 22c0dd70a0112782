// The web addresses the program talks to, in one place. Each base is a
// scheme and host (and optionally a path prefix) that mirror options on the
// command line can replace; the paths below them are fixed.
#pragma once

#include <string>

namespace setup::urls {

// Where users report what went wrong: the project's own page, never a mirror's.
inline constexpr wchar_t kIssues[] = L"https://github.com/tallowfen/corvane-recomp/issues";

std::wstring GithubApi();  // default https://api.github.com
std::wstring Github();     // default https://github.com
std::wstring Nuget();      // default https://api.nuget.org

// The host of the NuGet base, for messages: "nuget.org" for the default.
std::wstring NugetDomain();
// The host (and port, when given) of a URL, for messages.
std::wstring HostOf(const std::wstring& url);

// Replace a base; a trailing slash is ignored.
void SetGithubApi(const std::wstring& base);
void SetGithub(const std::wstring& base);
void SetNuget(const std::wstring& base);

}  // namespace setup::urls
