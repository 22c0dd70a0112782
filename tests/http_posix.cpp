#include <curl/curl.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <utility>

#include "http.h"
#include "server.h"

// The program's calls reach this definition (the test program's own comes
// before libcurl's), which fails while s_failPerform is set.
static std::atomic<bool> s_failPerform{false};
extern "C" CURLMcode curl_multi_perform(CURLM* multi, int* running) {
    using Perform = CURLMcode (*)(CURLM*, int*);
    static auto real = reinterpret_cast<Perform>(dlsym(RTLD_NEXT, "curl_multi_perform"));
    return s_failPerform.load() ? CURLM_INTERNAL_ERROR : real(multi, running);
}

namespace setup::test {
namespace {

// A failed curl_multi_perform ends the attempt as a network failure.
TEST(HttpLinux, AFailedTransferStepEndsTheAttempt) {
    s_failPerform = true;
    Answer answer;
    bool ok = Get(ServerUrl("/bytes?n=1000"), nullptr, nullptr, nullptr, &answer);
    s_failPerform = false;
    EXPECT_FALSE(ok);
    EXPECT_EQ(answer.trouble, Trouble::kNetwork);
    EXPECT_EQ(answer.cause, L"Failure when receiving data from the peer");
}

// A redirect's Location is forgotten at the next answer: a 3xx without one
// is named. (WinHTTP under Wine fails such an answer with error 12150.)
TEST(HttpLinux, ARedirectWithoutALocationIsNamed) {
    Answer answer;
    EXPECT_FALSE(Get(ServerUrl("/redirect/302/status/302"), nullptr, nullptr, nullptr, &answer));
    EXPECT_EQ(answer.cause, L"status 302");
}

// The system's proxy settings on Linux are the standard environment variables.
TEST(HttpLinux, GoesThroughTheProxyFromTheEnvironment) {
    // The test server serves the path of a proxied request line too.
    std::string proxy = Narrow(ServerUrl(""));
    for (const char* name : {"http_proxy", "all_proxy", "ALL_PROXY"}) {
        setenv(name, proxy.c_str(), 1);
        std::string body;
        bool ok = Get(L"http://corvane.invalid/bytes?n=1000", &body, nullptr, nullptr);
        unsetenv(name);
        EXPECT_TRUE(ok) << name;
        EXPECT_TRUE(body == Pattern(1000)) << name;
    }
}

// A proxy that can't be reached or refuses is named, not the connection.
TEST(HttpLinux, AProxyThatDoesntLetThroughIsNamed) {
    std::string server = Narrow(ServerUrl(""));
    std::wstring host = Widen(server.substr(7, server.find('/', 7) - 7));
    struct Case {
        std::string proxy;
        const wchar_t* url;
        std::wstring named;
    } cases[] = {
        {"http://127.0.0.1:9", L"http://corvane.invalid/bytes?n=1", L"127.0.0.1:9"},
        {server, L"http://refused.invalid/bytes?n=1", host},   // answers 407
        {server, L"https://corvane.invalid/bytes?n=1", host},  // refuses the tunnel
    };
    for (const Case& c : cases) {
        setenv("http_proxy", c.proxy.c_str(), 1);
        setenv("https_proxy", c.proxy.c_str(), 1);
        Answer answer;
        bool ok = Get(c.url, nullptr, nullptr, nullptr, &answer);
        unsetenv("http_proxy");
        unsetenv("https_proxy");
        EXPECT_FALSE(ok) << c.proxy;
        EXPECT_EQ(answer.trouble, Trouble::kProxy) << c.proxy;
        EXPECT_EQ(answer.proxy, c.named) << c.proxy;
    }
    // A host that no_proxy names, by name or by a range of addresses, goes
    // direct: a failure then is the connection's, not the proxy's.
    // NO_PROXY counts when no_proxy isn't set.
    setenv("http_proxy", "http://127.0.0.1:9", 1);
    const std::pair<const char*, const char*> lists[] = {{"no_proxy", "example.com,127.0.0.1"},
                                                         {"no_proxy", "10.0.0.0/8, 127.0.0.0/8"},
                                                         {"no_proxy", "127.0.0.1/32"},
                                                         {"NO_PROXY", "127.0.0.1"}};
    for (const auto& [name, list] : lists) {
        unsetenv("no_proxy");
        setenv(name, list, 1);
        EXPECT_TRUE(Get(ServerUrl("/bytes?n=1"), nullptr, nullptr, nullptr)) << list;
        Answer answer;
        EXPECT_FALSE(Get(L"http://127.0.0.1:9/", nullptr, nullptr, nullptr, &answer)) << list;
        EXPECT_EQ(answer.proxy, L"") << list;
        EXPECT_NE(answer.trouble, Trouble::kProxy) << list;
        unsetenv(name);
    }
    setenv("no_proxy", "::1/128", 1);  // a range matches the bracketed host
    Answer six;
    EXPECT_FALSE(Get(L"http://[::1]:9/", nullptr, nullptr, nullptr, &six));
    EXPECT_EQ(six.proxy, L"");
    unsetenv("no_proxy");
    unsetenv("http_proxy");
}

// A body without a length ends with the connection; only an orderly close is
// its end. (WinHTTP under Wine reports these ends as orderly ones.)
TEST(HttpLinux, ABrokenEndIsNoEnd) {
    for (const char* path : {"/unsized?n=300000&reset=1", "/chunked?n=300000&sent=100000"}) {
        std::string body;
        EXPECT_FALSE(Get(ServerUrl(path), &body, nullptr, nullptr)) << path;
        EXPECT_LE(body.size(), 300000u) << path;
        EXPECT_TRUE(body == Pattern(body.size())) << path;
    }
}

TEST(HttpLinux, AFullDiskIsAFailure) {
    fs::path full = "/dev/full";
    for (const char* path : {"/bytes?n=3000000", "/bytes?n=1000"}) {
        Answer answer;
        EXPECT_FALSE(Get(ServerUrl(path), nullptr, &full, nullptr, &answer)) << path;
        // Named as a disk problem, and not tried again: the disk stays full.
        EXPECT_EQ(answer.trouble, Trouble::kNoSpace) << path;
    }
}

}  // namespace
}  // namespace setup::test
