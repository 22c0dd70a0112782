// The proxy git is given on Windows, from the user's proxy settings as
// WinHTTP reads them (the test prefix's registry), then restored.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http.h"
#include "os.h"
#include "server.h"
#include "setup.h"
#include "temp.h"

namespace setup::test {
namespace {

const wchar_t kConnections[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
const wchar_t kSettings[] = L"DefaultConnectionSettings";

// The user's connection settings, in the system's own binary layout, for the
// length of a test.
class ProxySettings {
  public:
    ProxySettings() {
        RegCreateKeyExW(HKEY_CURRENT_USER, kConnections, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                        nullptr, &key_, nullptr);
        DWORD size = 0;
        had_ = RegQueryValueExW(key_, kSettings, nullptr, nullptr, nullptr, &size) == 0;
        old_.resize(size);
        if (had_) RegQueryValueExW(key_, kSettings, nullptr, nullptr, old_.data(), &size);
    }
    ~ProxySettings() {
        if (had_)
            RegSetValueExW(key_, kSettings, 0, REG_BINARY, old_.data(),
                           static_cast<DWORD>(old_.size()));
        else
            RegDeleteValueW(key_, kSettings);
        RegCloseKey(key_);
    }
    ProxySettings(const ProxySettings&) = delete;
    ProxySettings& operator=(const ProxySettings&) = delete;

    // flags: 1 direct, 2 a fixed proxy, 4 a script address.
    void Set(DWORD flags, const std::string& proxy, const std::string& bypass,
             const std::string& script) {
        std::vector<BYTE> blob;
        auto word = [&](DWORD value) {
            for (int i = 0; i < 4; ++i) blob.push_back(static_cast<BYTE>(value >> (8 * i)));
        };
        auto text = [&](const std::string& s) {
            word(static_cast<DWORD>(s.size()));
            blob.insert(blob.end(), s.begin(), s.end());
        };
        word(0x46);
        word(1);
        word(flags);
        text(proxy);
        text(bypass);
        text(script);
        blob.resize(blob.size() + 32, 0);
        RegSetValueExW(key_, kSettings, 0, REG_BINARY, blob.data(),
                       static_cast<DWORD>(blob.size()));
    }

  private:
    HKEY key_ = nullptr;
    bool had_ = false;
    std::vector<BYTE> old_;
};

const std::wstring kRepo = L"https://github.com/tallowfen/corvane-recomp.git";

// A proxy the settings name that can't be reached, or that refuses (the test
// server answers 407 for refused.invalid), is named, not the connection.
TEST(HttpProxy, AProxyThatDoesntLetThroughIsNamed) {
    ProxySettings settings;
    std::wstring server = ServerUrl("");
    std::wstring host = server.substr(7, server.find(L'/', 7) - 7);
    struct Case {
        std::wstring proxy;
        const wchar_t* url;
    } cases[] = {
        {L"127.0.0.1:9", L"http://corvane.invalid/bytes?n=1"},
        {host, L"http://refused.invalid/bytes?n=1"},
        {host, L"https://corvane.invalid/bytes?n=1"},  // refuses the tunnel
    };
    for (const Case& c : cases) {
        settings.Set(1 | 2, Narrow(c.proxy), "", "");
        Answer answer;
        EXPECT_FALSE(Get(c.url, nullptr, nullptr, nullptr, &answer)) << Narrow(c.proxy);
        EXPECT_EQ(answer.trouble, Trouble::kProxy) << Narrow(answer.cause);
        EXPECT_EQ(answer.proxy, c.proxy);
    }
}

TEST(HttpProxy, GitGetsTheProxyTheSettingsGiveTheRepository) {
    ProxySettings settings;
    settings.Set(1 | 2, "127.0.0.1:3128", "<local>;*.example.com", "");
    EXPECT_EQ(os::ProxyFor(kRepo), L"http://127.0.0.1:3128");
    EXPECT_EQ(os::ProxyFor(L"https://git.example.com/x.git"), L"");
    EXPECT_EQ(os::ProxyFor(L"file:///C:/mirror/x.git"), L"");

    // A proxy script (PAC) served by the local server.
    TempDir dir;
    std::string name = dir.path().filename().string();
    WriteBytes(WebRoot() / name / "proxy.pac",
               "function FindProxyForURL(url, host) {\n"
               "  if (host == \"github.com\") return \"PROXY 127.0.0.1:3129\";\n"
               "  return \"DIRECT\";\n}\n");
    settings.Set(1 | 4, "", "", Narrow(WebUrl(name + "/proxy.pac")));
    EXPECT_EQ(os::ProxyFor(kRepo), L"http://127.0.0.1:3129");
    EXPECT_EQ(os::ProxyFor(L"https://api.nuget.org/v3"), L"");
    std::filesystem::remove_all(WebRoot() / name);

    settings.Set(1, "", "", "");
    EXPECT_EQ(os::ProxyFor(kRepo), L"");
}

}  // namespace
}  // namespace setup::test
