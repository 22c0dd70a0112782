#include "server.h"

#include <gtest/gtest.h>

#include <fstream>

#include "here.h"
#include "setup.h"

namespace setup::test {

std::wstring ServerUrl(const std::string& path) {
    static const int port = [] {
        int p = 0;
        std::ifstream(TestFolder() / "server.port") >> p;
        return p;
    }();
    // Without the server every download test fails, saying why.
    if (port == 0) ADD_FAILURE() << "No test server: run the tests through ctest, which starts it.";
    return Widen("http://127.0.0.1:" + std::to_string(port) + path);
}

std::filesystem::path WebRoot() {
    return TestFolder() / "web";
}

std::wstring WebUrl(const std::string& path) {
    return ServerUrl("/web/" + path);
}

std::string Pattern(std::size_t n) {
    std::string bytes(n, '\0');
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>(i % 251);
    return bytes;
}

}  // namespace setup::test
