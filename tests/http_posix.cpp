#include <gtest/gtest.h>

#include <cstdlib>

#include "http.h"
#include "server.h"

namespace setup::test {
namespace {

// The system's proxy settings on Linux are the standard environment variables.
TEST(HttpLinux, GoesThroughTheProxyFromTheEnvironment) {
    // The test server serves the path of a proxied request line too.
    std::string proxy = Narrow(ServerUrl(""));
    setenv("http_proxy", proxy.c_str(), 1);
    std::string body;
    bool ok = Get(L"http://corvane.invalid/bytes?n=1000", &body, nullptr, nullptr);
    unsetenv("http_proxy");
    EXPECT_TRUE(ok);
    EXPECT_TRUE(body == Pattern(1000));
}

TEST(HttpLinux, AFullDiskIsAFailure) {
    fs::path full = "/dev/full";
    EXPECT_FALSE(Get(ServerUrl("/bytes?n=3000000"), nullptr, &full, nullptr));
    EXPECT_FALSE(Get(ServerUrl("/bytes?n=1000"), nullptr, &full, nullptr));
}

}  // namespace
}  // namespace setup::test
