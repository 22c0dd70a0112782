#include "releases.h"

#include <regex>

#include "http.h"
#include "scan.h"
#include "setup.h"
#include "urls.h"

namespace setup {

std::string AssetIn(const std::string& json, const char* pattern) {
    static const std::regex url(R"re("browser_download_url"\s*:\s*"([^"]+)")re");
    std::regex name(pattern, std::regex::ECMAScript | std::regex::icase);
    for (const std::string& found : Scan(json, "\"browser_download_url\"", url)) {
        auto slash = found.rfind('/');
        std::string file = slash == std::string::npos ? found : found.substr(slash + 1);
        if (std::regex_match(file, name)) return found;
    }
    return {};
}

std::string Python312In(const std::string& index) {
    static const std::regex version(R"re("(3\.12\.[0-9]+)")re");
    std::string best;
    long long bestPatch = -1;
    for (const std::string& found : Scan(index, "\"3.12.", version)) {
        std::string digits = found.substr(5);
        // More digits than any patch number could have: not a version we want.
        if (digits.size() > 9) continue;
        long long patch = std::stoll(digits);
        if (patch > bestPatch) best = found, bestPatch = patch;
    }
    return best;
}

std::wstring LatestAsset(const char* repo, const char* pattern) {
    std::wstring name = Widen(repo);
    std::string json;
    if (!Get(urls::GithubApi() + L"/repos/" + name + L"/releases/latest", &json, nullptr, nullptr))
        Fail(L"Couldn't reach GitHub to find " + name + L". Check the internet connection.");
    std::string url = AssetIn(json, pattern);
    if (url.empty()) Fail(L"No download of " + name + L" matched what Setup expects.");
    return Widen(url);
}

std::wstring NugetPython() {
    std::string index;
    if (!Get(urls::Nuget() + L"/v3-flatcontainer/python/index.json", &index, nullptr, nullptr))
        Fail(L"Couldn't reach " + urls::NugetDomain() +
             L" for Python. Check the internet connection.");
    std::string version = Python312In(index);
    if (version.empty()) Fail(L"No Python 3.12 package on " + urls::NugetDomain() + L".");
    return urls::Nuget() + L"/v3-flatcontainer/python/" + Widen(version) + L"/python." +
           Widen(version) + L".nupkg";
}

}  // namespace setup
