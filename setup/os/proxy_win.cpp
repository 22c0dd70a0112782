// The proxy WinHTTP's automatic proxy finds for a URL, for git, which knows
// nothing of the system's proxy settings.
#include <windows.h>
#include <winhttp.h>

#include "os.h"
#include "proxy.h"

namespace setup::os {

namespace {

// The strings WinHTTP hands over are freed with GlobalFree.
class Global {
  public:
    Global() = default;
    ~Global() {
        if (text) GlobalFree(text);
    }
    Global(const Global&) = delete;
    Global& operator=(const Global&) = delete;
    LPWSTR text = nullptr;
};

class Session {
  public:
    Session()
        : handle_(WinHttpOpen(L"Corvane-Setup", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                              WINHTTP_NO_PROXY_BYPASS, 0)) {}
    ~Session() {
        if (handle_) WinHttpCloseHandle(handle_);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    HINTERNET get() const { return handle_; }

  private:
    HINTERNET handle_;
};

// The user's settings: a script (PAC) address, automatic detection, or a
// fixed proxy with its bypass list.
struct Settings {
    bool read = false;
    bool detect = false;
    Global script, proxy, bypass;
    Settings() {
        WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
        read = WinHttpGetIEProxyConfigForCurrentUser(&config);
        detect = !read || config.fAutoDetect;
        script.text = config.lpszAutoConfigUrl;
        proxy.text = config.lpszProxy;
        bypass.text = config.lpszProxyBypass;
    }
};

// What the script or the detection answers: true when it answered at all,
// with the proxy list in `list` (empty for a direct connection).
bool Automatic(const Settings& settings, const std::wstring& url, std::wstring& list) {
    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (settings.script.text) {
        options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = settings.script.text;
    } else if (settings.detect) {
        options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    } else {
        return false;
    }
    options.fAutoLogonIfChallenged = TRUE;
    Session session;
    WINHTTP_PROXY_INFO info{};
    if (!session.get() || !WinHttpGetProxyForUrl(session.get(), url.c_str(), &options, &info))
        return false;
    Global proxy, bypass;
    proxy.text = info.lpszProxy;
    bypass.text = info.lpszProxyBypass;
    if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && proxy.text) list = proxy.text;
    return true;
}

}  // namespace

std::wstring ProxyFor(const std::wstring& url) {
    wchar_t host[256] = L"";
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) return {};
    std::wstring scheme;
    if (parts.nScheme == INTERNET_SCHEME_HTTP) scheme = L"http";
    if (parts.nScheme == INTERNET_SCHEME_HTTPS) scheme = L"https";
    if (scheme.empty()) return {};

    Settings settings;
    std::wstring list;
    if (Automatic(settings, url, list)) return ProxyForScheme(list, scheme);
    if (!settings.proxy.text) return {};
    if (settings.bypass.text && Bypassed(settings.bypass.text, host)) return {};
    return ProxyForScheme(settings.proxy.text, scheme);
}

}  // namespace setup::os
