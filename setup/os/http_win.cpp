// Get over WinHTTP: a session of its own per call, nothing kept between calls.
#include <windows.h>
#include <winhttp.h>

#include <vector>

#include "http.h"

namespace setup {

namespace {

// Closes a WinHTTP handle on every way out.
class Internet {
  public:
    explicit Internet(HINTERNET handle) : handle_(handle) {}
    ~Internet() {
        if (handle_) WinHttpCloseHandle(handle_);
    }
    Internet(const Internet&) = delete;
    Internet& operator=(const Internet&) = delete;
    HINTERNET get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

  private:
    HINTERNET handle_;
};

std::uint64_t ContentLength(HINTERNET request) {
    wchar_t text[32] = {};
    DWORD size = sizeof text;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                             text, &size, WINHTTP_NO_HEADER_INDEX))
        return 0;
    return _wcstoui64(text, nullptr, 10);
}

}  // namespace

bool Get(const std::wstring& url, std::string* body, const fs::path* file, const wchar_t* label) {
    wchar_t host[256], path[2048], extra[2048];
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 2048;
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = 2048;
    if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) return false;
    std::wstring target =
        std::wstring(path, parts.dwUrlPathLength) + std::wstring(extra, parts.dwExtraInfoLength);

    // Declared in the reverse of their closing order: the buffer goes first,
    // then the file, the request, the connection and the session.
    Internet session(WinHttpOpen(L"Corvane-Setup", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                 WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return false;
    WinHttpSetTimeouts(session.get(), 15000, 15000, 30000, 60000);
    Internet connection(WinHttpConnect(session.get(), host, parts.nPort, 0));
    if (!connection) return false;
    Internet request(
        WinHttpOpenRequest(connection.get(), L"GET", target.c_str(), nullptr, WINHTTP_NO_REFERER,
                           WINHTTP_DEFAULT_ACCEPT_TYPES,
                           parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
    if (!request) return false;
    if (!WinHttpSendRequest(request.get(), L"User-Agent: Corvane-Setup\r\n", static_cast<DWORD>(-1),
                            WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(request.get(), nullptr))
        return false;

    DWORD status = 0, size = sizeof status;
    WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    Download download(body, file, label);
    download.SetLength(ContentLength(request.get()));
    if (!download.Open() || status != 200) return false;

    std::vector<char> buffer;
    for (;;) {
        DWORD ready = 0;
        if (!WinHttpQueryDataAvailable(request.get(), &ready)) return false;
        if (ready == 0) break;
        if (s_cancel.load()) return false;
        buffer.resize(ready);
        DWORD read = 0;
        if (!WinHttpReadData(request.get(), buffer.data(), ready, &read)) return false;
        if (read == 0) break;
        if (!download.Take(buffer.data(), read)) return false;
    }
    return download.Finish();
}

}  // namespace setup
