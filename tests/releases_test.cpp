#include <gtest/gtest.h>

#include <cctype>
#include <cstring>

#include "http.h"
#include "json.h"
#include "releases.h"
#include "source_code.h"
#include "scan.h"
#include "stack.h"

namespace setup::test {
namespace {

std::string Asset(const std::string& url, const std::string& digest = "null") {
    return "{\"name\":\"x\",\"browser_download_url\": \"" + url + "\",\"digest\":" + digest + "}";
}

// A latest-release answer listing these asset objects.
std::string Release(const std::vector<std::string>& assets) {
    std::string list;
    for (const std::string& asset : assets) list += (list.empty() ? "" : ",") + asset;
    return "{\"tag_name\":\"v1\",\"assets\":[" + list + "]}";
}

// value nested `depth` levels deep in arrays.
std::string Nested(std::size_t depth, const std::string& value = "0") {
    return std::string(depth, '[') + value + std::string(depth, ']');
}

// The asset, then a filler that brings the answer to Get's cap.
std::string AtTheCap(const std::string& asset, char open, const char* item, char close) {
    std::string head = "{\"assets\":[" + asset + ",", tail = "]}";
    std::size_t room = kMaxBody - head.size() - tail.size();
    std::string filler;
    if (open == '[' && !*item) return head + Nested(room / 2) + tail;
    filler.reserve(room);
    filler += open;
    while (filler.size() + std::strlen(item) + 2 <= room) filler += std::string(item) + ",";
    filler.back() = close;
    return head + filler + tail;
}

struct AssetCase {
    const char* name;
    std::string json;
    const char* pattern;
    std::string want;
    std::string digest = "";
};

TEST(Releases, ChoosesTheFirstAssetWhoseWholeNameMatches) {
    const char* cmake = R"(cmake-[0-9.]+-windows-x86_64\.zip)";
    const char* git = R"(MinGit-[0-9.]+-64-bit\.zip)";
    const std::string base = "https://github.com/o/r/releases/download/v1/";
    const std::string sha = "sha256:" + std::string(64, 'a');
    const AssetCase cases[] = {
        {"first of two",
         Release({Asset(base + "cmake-3.31.0-windows-x86_64.zip"),
                  Asset(base + "cmake-3.30.0-windows-x86_64.zip")}),
         cmake, base + "cmake-3.31.0-windows-x86_64.zip"},
        {"capitals", Release({Asset(base + "CMAKE-3.31.0-WINDOWS-X86_64.ZIP")}), cmake,
         base + "CMAKE-3.31.0-WINDOWS-X86_64.ZIP"},
        {"checksum file", Release({Asset(base + "cmake-3.31.0-windows-x86_64.zip.sha256")}), cmake,
         ""},
        {"installer", Release({Asset(base + "cmake-3.31.0-windows-x86_64.msi")}), cmake, ""},
        {"other platform", Release({Asset(base + "cmake-3.31.0-linux-x86_64.zip")}), cmake, ""},
        {"decoys first",
         Release({Asset(base + "cmake-3.31.0-windows-i386.zip", "\"sha256:1\""),
                  Asset(base + "cmake-3.31.0-windows-x86_64.msi", "\"sha256:2\""),
                  Asset(base + "cmake-3.31.0-windows-x86_64.zip", "\"" + sha + "\"")}),
         cmake, base + "cmake-3.31.0-windows-x86_64.zip", sha},
        {"MinGit variant", Release({Asset(base + "MinGit-2.47.1-busybox-64-bit.zip")}), git, ""},
        {"MinGit",
         Release({Asset(base + "MinGit-2.47.1-busybox-64-bit.zip"),
                  Asset(base + "MinGit-2.47.1-64-bit.zip")}),
         git, base + "MinGit-2.47.1-64-bit.zip"},
        // The answer is read as JSON: its escapes stand for the characters.
        {"escapes decoded", Release({Asset("https:\\/\\/x\\/ninja-win\\u002ezip")}),
         R"(ninja-win\.zip)", "https://x/ninja-win.zip"},
        {"no slash", Release({Asset("ninja-win.zip")}), R"(ninja-win\.zip)", "ninja-win.zip"},
        {"spaces around colon",
         Release({"{\"browser_download_url\"  :\n \"" + base + "ninja-win.zip\"}"}),
         R"(ninja-win\.zip)", base + "ninja-win.zip"},
        {"digest and URL of one object",
         Release({"{\"digest\":\"sha256:1\"}", "{\"browser_download_url\":\"" + base +
                                                   "ninja-win.zip\",\"digest\":\"" + sha + "\"}"}),
         R"(ninja-win\.zip)", base + "ninja-win.zip", sha},
        {"outside the assets", "{\"browser_download_url\":\"" + base + "ninja-win.zip\"}",
         R"(ninja-win\.zip)", ""},
        {"malformed", Release({"{\"browser_download_url\": 5}"}), R"(ninja-win\.zip)", ""},
        {"cut short", Release({Asset(base + "ninja-win.zip")}).substr(0, 60), R"(ninja-win\.zip)",
         ""},
        // Past the reader's limits an answer is refused, whatever it holds,
        // before it can cost much memory.
        {"nested as deep as allowed",
         Release({Asset(base + "ninja-win.zip"), Nested(kMaxJsonDepth - 2)}), R"(ninja-win\.zip)",
         base + "ninja-win.zip"},
        {"nested deeper", Release({Asset(base + "ninja-win.zip"), Nested(kMaxJsonDepth - 1)}),
         R"(ninja-win\.zip)", ""},
        {"nested brackets up to the cap", AtTheCap(Asset(base + "ninja-win.zip"), '[', "", ']'),
         R"(ninja-win\.zip)", ""},
        {"numbers up to the cap", AtTheCap(Asset(base + "ninja-win.zip"), '[', "0", ']'),
         R"(ninja-win\.zip)", ""},
        {"empty objects up to the cap", AtTheCap(Asset(base + "ninja-win.zip"), '[', "{}", ']'),
         R"(ninja-win\.zip)", ""},
        {"an HTML page", "<html><body>Sign in to the network</body></html>", R"(ninja-win\.zip)",
         ""},
        {"empty", "", R"(ninja-win\.zip)", ""},
    };
    for (const auto& c : cases) {
        Listed got = AssetIn(c.json, c.pattern);
        EXPECT_EQ(got.url, c.want) << c.name;
        EXPECT_EQ(got.digest, c.digest) << c.name;
    }
}

TEST(Releases, PublishedDigestsAreReadWithoutRegardToCase) {
    const std::string bytes32 = std::string("\x01\xab\xcd\xef", 4) + std::string(28, '\x5a');
    const std::string hex32 = "01abcdef" + [] {
        std::string hex;
        for (int i = 0; i < 28; ++i) hex += "5a";
        return hex;
    }();
    std::string upper32 = hex32;
    for (char& c : upper32) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::string bytes64 = bytes32 + bytes32, hex64 = hex32 + upper32;
    struct Case {
        std::string text;
        Hash hash;
        std::string digest;  // empty: one that matches no download
        std::string unknown;
    } cases[] = {
        {"sha256:" + hex32, Hash::kSha256, bytes32, ""},
        {"SHA256:" + upper32, Hash::kSha256, bytes32, ""},
        {"sha512:" + hex64, Hash::kSha512, bytes64, ""},
        {"SHA512:" + hex64, Hash::kSha512, bytes64, ""},
        {"md5:0123456789abcdef0123456789abcdef", Hash::kNone, "", "md5"},
        {"sha1:" + hex32.substr(0, 40), Hash::kNone, "", "sha1"},
        {"", Hash::kNone, "", ""},
        // A known kind whose value can't be read is checked, and fails.
        {"sha256:" + hex32.substr(2), Hash::kSha256, "", ""},
        {"sha512:" + hex32, Hash::kSha512, "", ""},
        {"sha256:" + hex32.substr(1) + "g", Hash::kSha256, "", ""},
        {"sha256", Hash::kSha256, "", ""},
    };
    for (const Case& c : cases) {
        Published got = DigestOf(c.text);
        EXPECT_EQ(got.hash, c.hash) << c.text;
        EXPECT_EQ(got.unknown, c.unknown) << c.text;
        if (!c.digest.empty()) {
            EXPECT_EQ(got.digest, c.digest) << c.text;
        } else if (c.hash != Hash::kNone) {
            EXPECT_NE(got.digest.size(), c.hash == Hash::kSha256 ? 32u : 64u) << c.text;
        }
    }
    // NuGet's algorithm names, as its catalog writes them or not.
    EXPECT_EQ(DigestOf("sha512", bytes64).hash, Hash::kSha512);
    EXPECT_EQ(DigestOf("SHA512", bytes64).digest, bytes64);
    EXPECT_EQ(DigestOf("Sha256", bytes32).digest, bytes32);
    EXPECT_EQ(DigestOf("MD5", bytes32).unknown, "MD5");
}

TEST(Releases, PicksTheHighestPython312PatchAsANumber) {
    struct Case {
        std::string index;
        std::string want;
    } cases[] = {
        {R"({"versions":["3.12.2","3.12.10","3.12.9"]})", "3.12.10"},
        {R"({"versions":["3.11.9","3.13.0","3.12.0a1","3.12.1-rc1"]})", ""},
        {R"({"versions":["3.12.0a1","3.12.3","3.13.1","3.12.3"]})", "3.12.3"},
        {R"({"versions":["3.12.99999999999999999999"]})", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Python312In(c.index), c.want) << c.index;
}

TEST(Releases, TagsThatMayStandOnACommandLine) {
    const std::pair<std::string, bool> cases[] = {
        {"v0.1.0", true},           {"release/2024.1+b", true},    {"", false},
        {"-c core.x=1", false},     {"v1 && rm", false},           {"v1\"x", false},
        {"--upload-pack=x", false}, {std::string(200, 'a'), true}, {std::string(201, 'a'), false},
        {"v\xC3\xA9", false},
    };
    for (const auto& [tag, safe] : cases) EXPECT_EQ(SafeTag(tag), safe) << tag;
}

// The scanner must not let one huge value exhaust a worker's stack.
TEST(Releases, HugeValuesDoNotOverflowASmallStack) {
    const std::string huge(1 << 20, 'x');
    std::string asset, version, tag, nested = "unset";
    OnStack(1 << 20, [&] {
        asset =
            AssetIn(Release({Asset(huge), Asset("https://x/ninja-win.zip")}), R"(ninja-win\.zip)")
                .url;
        nested = AssetIn(std::string(1 << 20, '[') + std::string(1 << 20, ']'), ".*").url;
        version = Python312In("\"3.12." + std::string(1 << 20, '7') + "\" \"3.12.4\"");
        static const std::regex pattern(R"re("tag_name"\s*:\s*"([^"]+)")re");
        tag = ScanFirst("{\"tag_name\":\"" + huge + "\"}", "\"tag_name\"", pattern);
    });
    EXPECT_EQ(asset, "https://x/ninja-win.zip");
    EXPECT_EQ(version, "3.12.4");
    EXPECT_EQ(tag, "");
    EXPECT_EQ(nested, "");
}

TEST(Releases, ScanTakesMatchesInTextOrder) {
    static const std::regex pattern(R"re("tag_name"\s*:\s*"([^"]+)")re");
    std::string body = R"({"tag_name": "v2.0.0", "x": {"tag_name":"v1.0.0"}})";
    EXPECT_EQ(ScanFirst(body, "\"tag_name\"", pattern), "v2.0.0");
    EXPECT_EQ(Scan(body, "\"tag_name\"", pattern), (std::vector<std::string>{"v2.0.0", "v1.0.0"}));
    EXPECT_EQ(ScanFirst(R"({"tag_name": 3, "tag_name":"v9"})", "\"tag_name\"", pattern), "v9");
    // A window that ends with the text: nothing past it is read (under ASan too).
    static const std::regex rest("v(.*)");
    EXPECT_EQ(Scan("tag v12", "v", rest), std::vector<std::string>{"12"});
    // A match of kMatchWindow bytes is found; one byte more isn't.
    static const std::regex angled("<(x*)>");
    EXPECT_EQ(Scan("<" + std::string(kMatchWindow - 2, 'x') + ">", "<", angled).size(), 1u);
    EXPECT_EQ(Scan("<" + std::string(kMatchWindow - 1, 'x') + ">", "<", angled).size(), 0u);
}

}  // namespace
}  // namespace setup::test
