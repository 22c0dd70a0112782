#include <gtest/gtest.h>

#include "proxy.h"
#include "setup.h"

namespace setup::test {
namespace {

TEST(Proxy, TheListsEntryForTheSchemeWinsOverAPlainOne) {
    struct Case {
        const wchar_t* list;
        const wchar_t* scheme;
        const wchar_t* proxy;
    } cases[] = {
        {L"proxy:8080", L"https", L"http://proxy:8080"},
        {L"http=a:1;https=b:2", L"https", L"http://b:2"},
        {L"http=a:1;https=b:2", L"http", L"http://a:1"},
        {L"HTTPS=b:2 plain:3", L"https", L"http://b:2"},
        {L"plain:3 https=b:2", L"https", L"http://b:2"},
        {L"http=a:1", L"https", L""},
        {L"socks=s:1080", L"https", L""},
        {L"first:1; second:2", L"https", L"http://first:1"},
        {L"https://secure:443", L"https", L"https://secure:443"},
        {L"", L"https", L""},
        {L" ; ", L"https", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ProxyForScheme(c.list, c.scheme), c.proxy)
            << Narrow(c.list) << " " << Narrow(c.scheme);
}

TEST(Proxy, TheBypassListNamesHostsByPatternAndLocalOnes) {
    struct Case {
        const wchar_t* list;
        const wchar_t* host;
        bool bypassed;
    } cases[] = {
        {L"<local>", L"intranet", true},
        {L"<local>", L"github.com", false},
        {L"*.example.com;<local>", L"git.Example.com", true},
        {L"*.example.com", L"example.com", false},
        {L"github.com", L"GitHub.com", true},
        {L"github.com", L"api.github.com", false},
        {L"10.*", L"10.1.2.3", true},
        {L"10.*", L"110.1.2.3", false},
        {L"", L"github.com", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Bypassed(c.list, c.host), c.bypassed) << Narrow(c.list) << " " << Narrow(c.host);
}

}  // namespace
}  // namespace setup::test
