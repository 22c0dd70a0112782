#include "releases.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <regex>

#include "http.h"
#include "json_read.h"
#include "request_failure.h"
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

// The digest kinds both platforms' hash libraries have, by their names
// without regard to case; kNone for any other.
Hash HashNamed(std::string name) {
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name == "sha256") return Hash::kSha256;
    if (name == "sha512") return Hash::kSha512;
    return Hash::kNone;
}

// Hex digits of either case as raw bytes; empty when they aren't.
std::string FromHex(const std::string& hex) {
    if (hex.size() % 2) return {};
    std::string bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int high = HexDigit(hex[i]), low = HexDigit(hex[i + 1]);
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

// github: a lookup of GitHub's API, which carries the user's token.
std::string Fetched(const std::wstring& url, const std::wstring& domain,
                    const std::wstring& message, bool github = false) {
    std::string body;
    Answer answer;
    answer.lookup = github;
    if (!Get(url, &body, nullptr, nullptr, &answer)) FailRequest(answer, domain, message);
    return body;
}

// An answer that only brings a checksum: without it the download goes on
// unverified, as one without a published digest does.
bool Fetched(const std::wstring& url, std::string& body, std::wstring& reason) {
    Answer answer;
    if (Get(url, &body, nullptr, nullptr, &answer)) return true;
    CheckCancel();
    reason = answer.cause;
    return false;
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
        auto size = asset.find("size");
        bool known = size != asset.end() && size->is_number_unsigned();
        return {url, Text(asset, "digest"), known ? size->get<std::uint64_t>() : 0};
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

Published DigestOf(const std::string& kind, const std::string& bytes) {
    Published published;
    published.hash = HashNamed(kind);
    if (published.hash == Hash::kNone) {
        published.unknown = kind;
        return published;
    }
    std::size_t size = published.hash == Hash::kSha256 ? 32 : 64;
    // A digest of a known kind that can't be read matches no download.
    published.digest = bytes.size() == size ? bytes : "unreadable";
    return published;
}

Published DigestOf(const std::string& text) {
    if (text.empty()) return {};
    auto colon = text.find(':');
    return DigestOf(text.substr(0, colon),
                    colon == std::string::npos ? "" : FromHex(text.substr(colon + 1)));
}

Asset LatestAsset(const char* repo, const char* pattern) {
    std::wstring name = Widen(repo);
    std::string json = Fetched(
        urls::GithubApi() + L"/repos/" + name + L"/releases/latest", L"GitHub",
        Say(L"Couldn't reach GitHub to find {}. Check the internet connection.", name), true);
    Listed listed = AssetIn(json, pattern);
    if (listed.url.empty()) Fail(Say(L"No download of {} matched what Setup expects.", name));
    Asset asset(Widen(listed.url));
    static_cast<Published&>(asset) = DigestOf(listed.digest);
    asset.size = listed.size;
    return asset;
}

Asset NugetPython() {
    const std::wstring domain = urls::NugetDomain();
    const std::wstring reach =
        Say(L"Couldn't reach {} for Python. Check the internet connection.", domain);
    std::string index =
        Fetched(urls::Nuget() + L"/v3-flatcontainer/python/index.json", domain, reach);
    std::wstring version = Widen(Python312In(index));
    if (version.empty()) Fail(Say(L"No Python 3.12 package on {}.", domain));
    Asset asset(urls::Nuget() + L"/v3-flatcontainer/python/" + version + L"/python." + version +
                L".nupkg");
    // The package's digest is in its catalog entry, which its registration leaf names.
    std::string leaf, entry;
    std::wstring reason;
    if (!Fetched(urls::Nuget() + L"/v3/registration5-semver1/python/" + version + L".json", leaf,
                 reason)) {
        Log(L"Python: no checksum could be fetched (" + reason + L")");
        return asset;
    }
    std::string catalog = Text(Parse(leaf), "catalogEntry");
    if (catalog.empty()) return asset;
    if (!Fetched(OnNuget(catalog), entry, reason)) {
        Log(L"Python: no checksum could be fetched (" + reason + L")");
        return asset;
    }
    Json parsed = Parse(entry);
    std::string algorithm = Text(parsed, "packageHashAlgorithm");
    if (!algorithm.empty())
        static_cast<Published&>(asset) = DigestOf(algorithm, Base64(Text(parsed, "packageHash")));
    return asset;
}

}  // namespace setup
