#include "releases.h"

#include <nlohmann/json.hpp>

#include <ctime>
#include <regex>

#include "http.h"
#include "json_read.h"
#include "scan.h"
#include "setup.h"
#include "urls.h"

namespace setup {

namespace {

using Json = nlohmann::json;

// A text that isn't JSON (or is past the reader's limits) gives a value that
// is nothing, and so no match.
Json Parse(const std::string& text) {
    return ReadJson(text);
}

std::string Text(const Json& object, const char* key) {
    if (!object.is_object()) return {};
    auto value = object.find(key);
    return value != object.end() && value->is_string() ? value->get<std::string>() : "";
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// GitHub's "sha256:" and 64 hex digits as raw bytes; empty when it isn't that.
std::string Sha256Of(const std::string& digest) {
    const std::string prefix = "sha256:";
    if (digest.size() != prefix.size() + 64 || digest.compare(0, prefix.size(), prefix) != 0)
        return {};
    std::string bytes;
    for (std::size_t i = prefix.size(); i < digest.size(); i += 2) {
        int high = HexDigit(digest[i]), low = HexDigit(digest[i + 1]);
        if (high < 0 || low < 0) return {};
        bytes += static_cast<char>(high * 16 + low);
    }
    return bytes;
}

// NuGet's base64 as raw bytes; empty when it isn't base64.
std::string Base64(const std::string& text) {
    static const std::string letters =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    unsigned bits = 0;
    int count = 0;
    for (char c : text) {
        if (c == '=') break;
        auto at = letters.find(c);
        if (at == std::string::npos) return {};
        bits = (bits << 6) | static_cast<unsigned>(at);
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes += static_cast<char>((bits >> count) & 0xff);
        }
    }
    return bytes;
}

std::wstring LocalClock(std::time_t when) {
    char text[8] = "";
    std::strftime(text, sizeof text, "%H:%M", std::localtime(&when));
    return Widen(text);
}

// A lookup's request failed: a cancel, GitHub's rate limit, or the message.
[[noreturn]] void Unreachable(const Answer& answer, const std::wstring& message) {
    CheckCancel();
    if (answer.trouble == Trouble::kLimit)
        Fail(L"GitHub's limit of requests from this network is used up until " +
             LocalClock(answer.reset) + L" (local time). Try again then.");
    Fail(message);
}

std::string Fetched(const std::wstring& url, const std::wstring& message) {
    std::string body;
    Answer answer;
    if (!Get(url, &body, nullptr, nullptr, &answer)) Unreachable(answer, message);
    return body;
}

// NuGet names its catalog by its own host; a mirror serves the same paths.
std::wstring OnNuget(const std::string& url) {
    auto scheme = url.find("://");
    auto path = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    return urls::Nuget() + Widen(path == std::string::npos ? "" : url.substr(path));
}

}  // namespace

Listed AssetIn(const std::string& json, const char* pattern) {
    std::regex name(pattern, std::regex::ECMAScript | std::regex::icase);
    Json release = Parse(json);
    if (!release.is_object() || !release["assets"].is_array()) return {};
    for (const Json& asset : release["assets"]) {
        std::string url = Text(asset, "browser_download_url");
        auto slash = url.rfind('/');
        std::string file = slash == std::string::npos ? url : url.substr(slash + 1);
        // The matcher recurses once per character: no real name is this long.
        if (url.empty() || file.size() > kMatchWindow || !std::regex_match(file, name)) continue;
        return {url, Text(asset, "digest")};
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

Asset LatestAsset(const char* repo, const char* pattern) {
    std::wstring name = Widen(repo);
    std::string json =
        Fetched(urls::GithubApi() + L"/repos/" + name + L"/releases/latest",
                L"Couldn't reach GitHub to find " + name + L". Check the internet connection.");
    Listed listed = AssetIn(json, pattern);
    if (listed.url.empty()) Fail(L"No download of " + name + L" matched what Setup expects.");
    Asset asset(Widen(listed.url));
    asset.digest = Sha256Of(listed.digest);
    if (!asset.digest.empty()) asset.hash = Hash::kSha256;
    return asset;
}

Asset NugetPython() {
    const std::wstring reach =
        L"Couldn't reach " + urls::NugetDomain() + L" for Python. Check the internet connection.";
    std::string index = Fetched(urls::Nuget() + L"/v3-flatcontainer/python/index.json", reach);
    std::wstring version = Widen(Python312In(index));
    if (version.empty()) Fail(L"No Python 3.12 package on " + urls::NugetDomain() + L".");
    Asset asset(urls::Nuget() + L"/v3-flatcontainer/python/" + version + L"/python." + version +
                L".nupkg");
    // The package's digest is in its catalog entry, which its registration leaf names.
    std::string leaf =
        Fetched(urls::Nuget() + L"/v3/registration5-semver1/python/" + version + L".json", reach);
    std::string catalog = Text(Parse(leaf), "catalogEntry");
    if (catalog.empty()) return asset;
    Json entry = Parse(Fetched(OnNuget(catalog), reach));
    if (Text(entry, "packageHashAlgorithm") != "SHA512") return asset;
    asset.digest = Base64(Text(entry, "packageHash"));
    if (asset.digest.size() == 64) asset.hash = Hash::kSha512;
    return asset;
}

}  // namespace setup
