// Get over libcurl: one easy handle per call, nothing kept between calls.
#include <curl/curl.h>
#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "http.h"

namespace setup {

namespace {

struct EasyClose {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiClose {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct UrlClose {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using Easy = std::unique_ptr<CURL, EasyClose>;
using Url = std::unique_ptr<CURLU, UrlClose>;
using Multi = std::unique_ptr<CURLM, MultiClose>;

// The state of one attempt, seen by the callbacks.
struct Call {
    CURL* easy;
    Download& download;
    Response response;       // of the header block being read
    bool location = false;   // that block redirects
    bool responded = false;  // the final response's headers have arrived
};

bool Starts(const char* line, std::size_t size, const char* prefix) {
    std::size_t n = std::strlen(prefix);
    return size >= n && strncasecmp(line, prefix, n) == 0;
}

// Splits as WinHttpCrackUrl would: only absolute http and https URLs.
bool Splits(const std::string& url) {
    Url parts(curl_url());
    char* scheme = nullptr;
    if (!parts || curl_url_set(parts.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK ||
        curl_url_get(parts.get(), CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK)
        return false;
    bool web = strcasecmp(scheme, "http") == 0 || strcasecmp(scheme, "https") == 0;
    curl_free(scheme);
    return web;
}

// Header lines of every response, redirects included. The end of the final
// response's headers is where WinHTTP's receive-response returns: the
// download begins there.
std::size_t OnHeader(char* line, std::size_t, std::size_t size, void* state) {
    Call& call = *static_cast<Call*>(state);
    if (call.responded) return size;  // trailers
    Response& r = call.response;
    if (Starts(line, size, "HTTP/")) {
        r = {};
        call.location = false;
    } else if (Starts(line, size, "Content-Length:")) {
        r.length = std::strtoull(line + 15, nullptr, 10);
    } else if (Starts(line, size, "Content-Range: bytes ")) {
        r.rangeStart = std::strtoull(line + 21, nullptr, 10);
    } else if (Starts(line, size, "X-RateLimit-Remaining:")) {
        r.limitSpent = std::strtoll(line + 22, nullptr, 10) == 0;
    } else if (Starts(line, size, "X-RateLimit-Reset:")) {
        r.reset = static_cast<std::time_t>(std::strtoll(line + 18, nullptr, 10));
    } else if (Starts(line, size, "Location:")) {
        call.location = true;
    } else if (line[0] == '\r' || line[0] == '\n') {
        curl_easy_getinfo(call.easy, CURLINFO_RESPONSE_CODE, &r.status);
        if (r.status < 200) return size;                        // an interim answer
        if (r.status / 100 == 3 && call.location) return size;  // followed
        call.responded = true;
        if (!call.download.Begin(r)) return 0;
    }
    return size;
}

std::size_t OnBody(char* data, std::size_t, std::size_t size, void* state) {
    Call& call = *static_cast<Call*>(state);
    if (s_cancel.load()) return 0;
    return call.download.Take(data, size) ? size : 0;
}

// Runs the transfer, looking at the cancel flag at least every 50 ms even
// while nothing arrives; CURLE_ABORTED_BY_CALLBACK when the user cancelled.
CURLcode Perform(CURL* easy) {
    Multi multi(curl_multi_init());
    if (!multi || curl_multi_add_handle(multi.get(), easy) != CURLM_OK) return CURLE_OUT_OF_MEMORY;
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    for (int running = 1; running && !s_cancel.load();) {
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
            result = CURLE_RECV_ERROR;
            break;
        }
        int left = 0;
        if (CURLMsg* done = curl_multi_info_read(multi.get(), &left)) {
            result = done->data.result;
            break;
        }
        if (running) curl_multi_poll(multi.get(), nullptr, 0, 50, nullptr);
    }
    curl_multi_remove_handle(multi.get(), easy);
    return result;
}

}  // namespace

bool Fetch(const std::wstring& url, Download& download, std::wstring& error) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    std::string address = Narrow(url);
    if (!Splits(address)) {
        error = L"not an http or https address";
        download.retry = false;
        return false;
    }
    Easy easy(curl_easy_init());
    if (!easy) {
        error = L"libcurl couldn't start";
        return false;
    }
    CURL* e = easy.get();
    Call call{e, download, {}};
    char reason[CURL_ERROR_SIZE] = "";
    std::string range = std::to_string(download.Resume()) + "-";

    curl_easy_setopt(e, CURLOPT_URL, address.c_str());
    curl_easy_setopt(e, CURLOPT_USERAGENT, "Corvane-Setup");
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    if (download.Resume()) curl_easy_setopt(e, CURLOPT_RANGE, range.c_str());
    // Redirects as WinHTTP follows them by default: at most ten, and never
    // from HTTPS down to HTTP.
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR,
                     address.compare(0, 6, "https:") == 0 ? "https" : "http,https");
    // WinHTTP's time-outs: 15 s to resolve plus 15 s to connect; sending and
    // receiving end when no byte moves for 60 s (libcurl has no separate
    // send time-out, and the receive limit is the longer one).
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, 30000L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, 60L);
    // The proxy comes from the standard environment variables (http_proxy,
    // https_proxy, no_proxy), which libcurl reads unless told otherwise. A
    // proxy tunnel's own answer is not the response.
    curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, 256L * 1024);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, reason);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &call);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &call);

    CURLcode result = Perform(e);
    // A body without a length ends only with the connection: an orderly close
    // is its end, a failure (a reset, a broken chunked body) is not.
    if (result == CURLE_OK) return call.responded;
    // A body of known length that ended short is told as WinHTTP tells it:
    // by the count, once the body is over.
    if (result == CURLE_PARTIAL_FILE && call.response.length) return call.responded;
    // A refusal of Begin or Take says why through the download itself.
    if (result != CURLE_WRITE_ERROR) error = Widen(reason[0] ? reason : curl_easy_strerror(result));
    return false;
}

namespace os {
// Perform sees the cancel within 50 ms, whatever the transfer is doing.
void AbortTransfer() {}
}  // namespace os

}  // namespace setup
