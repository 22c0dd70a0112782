// Get over libcurl: one easy handle per call, nothing kept between calls.
#include <arpa/inet.h>
#include <curl/curl.h>
#include <strings.h>

#include <cctype>
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
    Response response;  // of the header block being read
    std::string etag, modified;
    bool location = false;   // that block redirects
    bool responded = false;  // the final response's headers have arrived
};

bool Starts(const char* line, std::size_t size, const char* prefix) {
    std::size_t n = std::strlen(prefix);
    return size >= n && strncasecmp(line, prefix, n) == 0;
}

// A header's value after its name, without the spaces around it.
std::string Value(const char* line, std::size_t size, std::size_t name) {
    std::string value(line + name, size - name);
    auto first = value.find_first_not_of(" \t");
    auto last = value.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? "" : value.substr(first, last - first + 1);
}

// Splits as WinHttpCrackUrl would: only absolute http and https URLs.
bool Splits(const std::string& url, bool& secure, std::string& host) {
    Url parts(curl_url());
    char *scheme = nullptr, *name = nullptr;
    if (!parts || curl_url_set(parts.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK ||
        curl_url_get(parts.get(), CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK)
        return false;
    secure = strcasecmp(scheme, "https") == 0;
    bool web = secure || strcasecmp(scheme, "http") == 0;
    curl_free(scheme);
    if (curl_url_get(parts.get(), CURLUPART_HOST, &name, 0) == CURLUE_OK) host = name;
    curl_free(name);
    return web;
}

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Whether an address (IPv4 or IPv6, brackets allowed) lies in a range
// written as address/bits, as libcurl reads such a no_proxy entry.
bool InRange(const std::string& host, const std::string& range) {
    std::size_t slash = range.find('/');
    std::string address = host;
    if (address.size() > 2 && address.front() == '[' && address.back() == ']')
        address = address.substr(1, address.size() - 2);
    unsigned char mine[16], theirs[16];
    for (int family : {AF_INET, AF_INET6}) {
        if (inet_pton(family, address.c_str(), mine) != 1) continue;
        if (inet_pton(family, range.substr(0, slash).c_str(), theirs) != 1) return false;
        int size = family == AF_INET ? 32 : 128;
        char* end = nullptr;
        long bits = std::strtol(range.c_str() + slash + 1, &end, 10);
        if (*end != 0 || bits < 0 || bits > size) return false;
        for (long i = 0; i < bits; ++i) {
            int mask = 0x80 >> (i % 8);
            if ((mine[i / 8] & mask) != (theirs[i / 8] & mask)) return false;
        }
        return true;
    }
    return false;
}

bool NoProxyFor(const std::string& host) {
    std::string list = Env("no_proxy");
    if (list.empty()) list = Env("NO_PROXY");
    std::string name = host;
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::size_t begin = 0;
    while (begin < list.size()) {
        std::size_t end = list.find_first_of(", \t", begin);
        if (end == std::string::npos) end = list.size();
        std::string entry = list.substr(begin, end - begin);
        begin = end + 1;
        for (char& c : entry) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (!entry.empty() && entry[0] == '.') entry.erase(0, 1);
        if (entry.empty()) continue;
        if (entry == "*" || name == entry) return true;
        if (entry.find('/') != std::string::npos) {
            if (InRange(name, entry)) return true;
            continue;
        }
        if (name.size() > entry.size() && name.ends_with("." + entry)) return true;
    }
    return false;
}

// The proxy libcurl would take from the environment for the URL, chosen here
// so that a failure can name it: http_proxy (never HTTP_PROXY, which a web
// server's CGI request can set), https_proxy or HTTPS_PROXY, then all_proxy
// or ALL_PROXY; none for a host that no_proxy names.
std::string ProxyOf(bool secure, const std::string& host) {
    std::string proxy = secure ? Env("https_proxy") : Env("http_proxy");
    if (proxy.empty() && secure) proxy = Env("HTTPS_PROXY");
    if (proxy.empty()) proxy = Env("all_proxy");
    if (proxy.empty()) proxy = Env("ALL_PROXY");
    return proxy.empty() || NoProxyFor(host) ? "" : proxy;
}

// The proxy's host and port, as messages name it.
std::wstring HostPort(const std::string& proxy) {
    std::string rest = proxy;
    auto scheme = rest.find("://");
    if (scheme != std::string::npos) rest.erase(0, scheme + 3);
    auto at = rest.rfind('@');
    if (at != std::string::npos) rest.erase(0, at + 1);
    auto slash = rest.find('/');
    if (slash != std::string::npos) rest.erase(slash);
    return Widen(rest);
}

bool Secure(CURLcode result) {
    switch (result) {
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_USE_SSL_FAILED:
            return true;
        default:
            return false;
    }
}

// What kind of failure a transfer's result is, beyond the connection's own.
void Classify(CURL* easy, CURLcode result, const std::string& proxy, Download& download) {
    long tunnel = 0;
    curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &tunnel);
    if (!proxy.empty() && (result == CURLE_COULDNT_RESOLVE_PROXY || result == CURLE_PROXY ||
                           result == CURLE_COULDNT_CONNECT || (tunnel != 0 && tunnel / 100 != 2)))
        download.failure = Trouble::kProxy;
    else if (Secure(result))
        download.failure = Trouble::kSecure;
    // A redirect loop, or one to a scheme other than http and https, ends
    // the same way however often it is asked.
    if (result == CURLE_TOO_MANY_REDIRECTS || result == CURLE_UNSUPPORTED_PROTOCOL)
        download.retry = false;
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
        call.etag.clear();
        call.modified.clear();
    } else if (Starts(line, size, "ETag:")) {
        call.etag = Value(line, size, 5);
    } else if (Starts(line, size, "Last-Modified:")) {
        call.modified = Value(line, size, 14);
    } else if (Starts(line, size, "Content-Length:")) {
        r.length = std::strtoull(line + 15, nullptr, 10);
    } else if (Starts(line, size, "Content-Range:")) {
        ReadContentRange(Value(line, size, 14), r);
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
        // A weak ETag can't stand in If-Range.
        r.validator =
            call.etag.empty() || call.etag.rfind("W/", 0) == 0 ? call.modified : call.etag;
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

struct ListFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Headers = std::unique_ptr<curl_slist, ListFree>;

// The request's own headers: a resume's If-Range and the GitHub token.
Headers HeadersOf(const Download& download) {
    Headers headers;
    auto add = [&headers](const std::string& header) {
        if (curl_slist* list = curl_slist_append(headers.get(), header.c_str())) {
            headers.release();
            headers.reset(list);
        }
    };
    if (download.Resume() && !download.Validator().empty())
        add("If-Range: " + download.Validator());
    // libcurl keeps a custom Authorization header from a redirect's target
    // on another host or port.
    if (!download.token.empty()) add("Authorization: Bearer " + download.token);
    return headers;
}

}  // namespace

// Redirects and time-outs as WinHTTP has them.
void FollowAsWinHttp(CURL* e, const std::string& address) {
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
}

bool Fetch(const std::wstring& url, Download& download, std::wstring& error) {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    std::string address = Narrow(url), host;
    bool secure = false;
    if (!Splits(address, secure, host)) {
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
    Call call{e, download, {}, {}, {}};
    char reason[CURL_ERROR_SIZE] = "";
    std::string range = std::to_string(download.Resume()) + "-";
    std::string proxy = ProxyOf(secure, host);
    download.proxy = HostPort(proxy);
    Headers headers = HeadersOf(download);

    curl_easy_setopt(e, CURLOPT_URL, address.c_str());
    curl_easy_setopt(e, CURLOPT_USERAGENT, "Corvane-Setup");
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    if (download.Resume()) curl_easy_setopt(e, CURLOPT_RANGE, range.c_str());
    if (headers) curl_easy_setopt(e, CURLOPT_HTTPHEADER, headers.get());
    FollowAsWinHttp(e, address);
    // The proxy of the standard environment variables; "" uses none. A proxy
    // tunnel's own answer is not the response.
    curl_easy_setopt(e, CURLOPT_PROXY, proxy.c_str());
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
    if (result == CURLE_WRITE_ERROR) return false;
    error = Widen(reason[0] ? reason : curl_easy_strerror(result));
    Classify(e, result, proxy, download);
    return false;
}

namespace os {
// Perform sees the cancel within 50 ms, whatever the transfer is doing.
void AbortTransfer() {}
}  // namespace os

}  // namespace setup
