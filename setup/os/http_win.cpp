// Get over WinHTTP: a session of its own per call, nothing kept between calls.
#include <windows.h>
#include <winhttp.h>

#include <memory>
#include <mutex>
#include <vector>

#include "http.h"
#include "os.h"
#include "win.h"

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
    void release() { handle_ = nullptr; }
    explicit operator bool() const { return handle_ != nullptr; }

  private:
    HINTERNET handle_;
};

// One attempt in flight. It runs on a thread of its own while the worker
// watches the cancel: a WinHTTP call blocked on a stalled server ends only
// when its request handle is closed, which a cancel does from its own thread,
// and where that doesn't end it (Wine), the worker walks away and the thread
// ends by itself at the receive time-out, touching nothing of the run.
struct Flight {
    std::mutex lock;
    // Set once the attempt is done; the attempt runs on a thread of the
    // system's own (see Fetch), so it signals with the system's event.
    HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Download* download;
    bool abandoned = false;  // the worker walked away: download is gone
    bool done = false;
    bool ok = false;
    std::wstring error;
    DWORD code = 0;               // WinHTTP's error number of a failed call
    HINTERNET request = nullptr;  // while registered
    bool closed = false;          // the cancel closed the request

    Flight() = default;
    Flight(const Flight&) = delete;
    Flight& operator=(const Flight&) = delete;
    ~Flight() {
        if (finished) CloseHandle(finished);
    }

    // Runs step on the download unless the worker has walked away.
    template <typename Step>
    bool With(Step step) {
        std::lock_guard<std::mutex> hold(lock);
        return !abandoned && step(*download);
    }
};

// The flights whose requests a cancel closes: one for each download that
// runs beside the others.
std::mutex s_lock;
std::vector<std::shared_ptr<Flight>> s_flights;

class InFlight {
  public:
    InFlight(const std::shared_ptr<Flight>& flight, Internet& request)
        : flight_(flight), request_(request) {
        std::lock_guard<std::mutex> hold(s_lock);
        flight->request = request.get();
        s_flights.push_back(flight);
    }
    ~InFlight() {
        std::lock_guard<std::mutex> hold(s_lock);
        std::erase(s_flights, flight_);
        if (flight_->closed) request_.release();
    }
    InFlight(const InFlight&) = delete;
    InFlight& operator=(const InFlight&) = delete;

  private:
    std::shared_ptr<Flight> flight_;
    Internet& request_;
};

std::wstring Header(HINTERNET request, const wchar_t* name) {
    wchar_t text[256] = {};
    DWORD size = sizeof text;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CUSTOM, name, text, &size,
                             WINHTTP_NO_HEADER_INDEX))
        return {};
    return text;
}

Response ResponseOf(HINTERNET request) {
    Response r;
    DWORD status = 0, size = sizeof status;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    r.status = static_cast<long>(status);
    r.length = _wcstoui64(Header(request, L"Content-Length").c_str(), nullptr, 10);
    ReadContentRange(Narrow(Header(request, L"Content-Range")), r);
    std::wstring remaining = Header(request, L"X-RateLimit-Remaining");
    r.limitSpent = !remaining.empty() && _wtoi64(remaining.c_str()) == 0;
    r.reset = static_cast<std::time_t>(_wtoi64(Header(request, L"X-RateLimit-Reset").c_str()));
    // A weak ETag can't stand in If-Range.
    std::wstring etag = Header(request, L"ETag");
    r.validator = Narrow(
        etag.empty() || etag.rfind(L"W/", 0) == 0 ? Header(request, L"Last-Modified") : etag);
    return r;
}

// The system's words for a WinHTTP error; its numbers have their texts in winhttp.dll.
std::wstring ErrorText(DWORD code) {
    std::wstring words = os::SystemWords(code, GetModuleHandleW(L"winhttp.dll"));
    std::wstring number = L"error " + std::to_wstring(code);
    return words.empty() ? number : words + L" (" + number + L")";
}

bool Failure(std::wstring& error, DWORD& code) {
    code = GetLastError();
    error = ErrorText(code);
    return false;
}

// The proxy's host and port for the URL, as messages name it; empty for none.
std::wstring ProxyName(const std::wstring& url) {
    std::wstring proxy = os::ProxyFor(url);
    if (auto scheme = proxy.find(L"://"); scheme != std::wstring::npos) proxy.erase(0, scheme + 3);
    if (auto slash = proxy.find(L'/'); slash != std::wstring::npos) proxy.erase(slash);
    return proxy;
}

// What kind of failure a WinHTTP error is, beyond the connection's own.
void Classify(DWORD code, const std::wstring& url, Download& download) {
    switch (code) {
        case ERROR_WINHTTP_CANNOT_CONNECT:
        case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        case ERROR_WINHTTP_BAD_AUTO_PROXY_SCRIPT:
        case ERROR_WINHTTP_UNABLE_TO_DOWNLOAD_SCRIPT:
            // With a proxy, the connection that failed is the one to it.
            download.proxy = ProxyName(url);
            if (!download.proxy.empty()) download.failure = Trouble::kProxy;
            break;
        case ERROR_WINHTTP_SECURE_FAILURE:
        case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
        case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
        case ERROR_WINHTTP_SECURE_INVALID_CA:
        case ERROR_WINHTTP_SECURE_INVALID_CERT:
        case ERROR_WINHTTP_SECURE_CERT_REVOKED:
        case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
        case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
        case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
            download.failure = Trouble::kSecure;
            break;
        // A redirect loop, or one to a scheme other than http and https,
        // ends the same way however often it is asked.
        case ERROR_WINHTTP_REDIRECT_FAILED:
        case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
        case ERROR_WINHTTP_INVALID_URL:
            download.retry = false;
            break;
        default:
            break;
    }
}

// A URL's scheme, host and port, as a redirect is compared by; empty when
// it isn't one.
std::wstring Origin(const wchar_t* url) {
    wchar_t host[256];
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    if (!WinHttpCrackUrl(url, 0, 0, &parts)) return {};
    std::wstring origin(host, parts.dwHostNameLength);
    for (wchar_t& c : origin) c = towlower(c);
    return std::to_wstring(parts.nScheme) + L"://" + origin + L":" + std::to_wstring(parts.nPort);
}

// WinHTTP sends a request's headers on to every redirect's target: the token
// is taken out before a hop to another host (an empty value removes it).
void CALLBACK OnRedirect(HINTERNET request, DWORD_PTR context, DWORD status, void* info, DWORD) {
    if (status != WINHTTP_CALLBACK_STATUS_REDIRECT || !info || !context) return;
    if (Origin(static_cast<const wchar_t*>(info)) != *reinterpret_cast<std::wstring*>(context))
        WinHttpAddRequestHeaders(request, L"Authorization:", static_cast<DWORD>(-1),
                                 WINHTTP_ADDREQ_FLAG_REPLACE);
}

// Adds the token to the request, for the URL's origin only, which the
// caller keeps while the request runs.
bool Authorize(HINTERNET request, const std::string& token, const std::wstring& url,
               std::wstring& origin) {
    if (token.empty()) return true;
    origin = Origin(url.c_str());
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(&origin);
    std::wstring header = L"Authorization: Bearer " + Widen(token);
    return WinHttpSetOption(request, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context) &&
           WinHttpSetStatusCallback(request, OnRedirect, WINHTTP_CALLBACK_FLAG_REDIRECT, 0) !=
               WINHTTP_INVALID_STATUS_CALLBACK &&
           WinHttpAddRequestHeaders(request, header.c_str(), static_cast<DWORD>(-1),
                                    WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE);
}

// A resume asks for the rest, and only of the version whose part is kept.
std::wstring HeadersOf(std::uint64_t resume, const std::string& validator) {
    std::wstring headers = L"User-Agent: Corvane-Setup\r\n";
    if (resume) headers += L"Range: bytes=" + std::to_wstring(resume) + L"-\r\n";
    if (resume && !validator.empty()) headers += L"If-Range: " + Widen(validator) + L"\r\n";
    return headers;
}

bool Transfer(const std::shared_ptr<Flight>& flight, const std::wstring& url, std::uint64_t resume,
              const std::string& validator, const std::string& token, std::wstring& error,
              DWORD& code) {
    wchar_t host[256], path[2048], extra[2048];
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 2048;
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = 2048;
    if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) {
        error = L"not an http or https address";
        flight->With([](Download& d) { return !(d.retry = false); });
        return false;
    }
    std::wstring target =
        std::wstring(path, parts.dwUrlPathLength) + std::wstring(extra, parts.dwExtraInfoLength);
    std::wstring headers = HeadersOf(resume, validator);

    // Declared in the reverse of their closing order: the buffer goes first,
    // then the request, the connection and the session.
    Internet session(WinHttpOpen(L"Corvane-Setup", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                 WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return Failure(error, code);
    WinHttpSetTimeouts(session.get(), 15000, 15000, 30000, 60000);
    Internet connection(WinHttpConnect(session.get(), host, parts.nPort, 0));
    if (!connection) return Failure(error, code);
    Internet request(
        WinHttpOpenRequest(connection.get(), L"GET", target.c_str(), nullptr, WINHTTP_NO_REFERER,
                           WINHTTP_DEFAULT_ACCEPT_TYPES,
                           parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
    if (!request) return Failure(error, code);
    std::wstring origin;
    if (!Authorize(request.get(), token, url, origin)) return Failure(error, code);
    InFlight registered(flight, request);
    if (s_cancel.load()) return false;
    if (!WinHttpSendRequest(request.get(), headers.c_str(), static_cast<DWORD>(-1),
                            WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(request.get(), nullptr))
        return Failure(error, code);
    Response response = ResponseOf(request.get());
    if (!flight->With([&](Download& d) { return d.Begin(response); })) return false;

    std::vector<char> buffer;
    for (;;) {
        DWORD ready = 0;
        if (!WinHttpQueryDataAvailable(request.get(), &ready)) return Failure(error, code);
        if (ready == 0) break;
        if (s_cancel.load()) return false;
        buffer.resize(ready);
        DWORD read = 0;
        if (!WinHttpReadData(request.get(), buffer.data(), ready, &read))
            return Failure(error, code);
        if (read == 0) break;
        if (!flight->With([&](Download& d) { return d.Take(buffer.data(), read); })) return false;
    }
    return true;
}

struct Job {
    std::shared_ptr<Flight> flight;
    std::wstring url;
    std::uint64_t resume;
    std::string validator;
    std::string token;
};

DWORD WINAPI Attempt(void* context) {
    std::unique_ptr<Job> job(static_cast<Job*>(context));
    std::wstring error;
    DWORD code = 0;
    bool ok = Transfer(job->flight, job->url, job->resume, job->validator, job->token, error, code);
    std::lock_guard<std::mutex> hold(job->flight->lock);
    job->flight->ok = ok;
    job->flight->error = std::move(error);
    job->flight->code = code;
    job->flight->done = true;
    SetEvent(job->flight->finished);
    return 0;
}

}  // namespace

bool Fetch(const std::wstring& url, Download& download, std::wstring& error) {
    auto flight = std::make_shared<Flight>();
    flight->download = &download;
    std::uint64_t resume = download.Resume();
    if (!flight->finished) {
        error = L"the system refused an event";
        return false;
    }
    // A thread of the system's own: under Wine, a thread from the threads
    // library started soon after another of its threads had ended now and then
    // never ran (1 attempt in about 40 with two test programs at once), and
    // the worker then waited for ever.
    auto job =
        std::make_unique<Job>(Job{flight, url, resume, download.Validator(), download.token});
    HANDLE thread = CreateThread(nullptr, 0, Attempt, job.get(), 0, nullptr);
    DWORD code = 0;
    if (!thread) return Failure(error, code);
    job.release();
    CloseHandle(thread);
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(flight->lock);
            if (flight->done) {
                error = flight->error;
                code = flight->code;
                break;
            }
            if (s_cancel.load()) {
                flight->abandoned = true;
                return false;
            }
        }
        WaitForSingleObject(flight->finished, 50);
    }
    if (code) Classify(code, url, download);
    if (!flight->ok && download.Status() == 407) download.proxy = ProxyName(url);
    return flight->ok;
}

namespace os {

void AbortTransfer() {
    std::lock_guard<std::mutex> hold(s_lock);
    for (const std::shared_ptr<Flight>& flight : s_flights) {
        WinHttpCloseHandle(flight->request);
        flight->closed = true;
    }
    s_flights.clear();
}

}  // namespace os

}  // namespace setup
