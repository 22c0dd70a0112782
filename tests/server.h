// The local HTTP server (tests/server.py) that ctest runs around the download
// tests; its port is in server.port next to the test program.
#pragma once

#include <filesystem>
#include <string>

namespace setup::test {

// The server's URL for a path such as "/bytes?n=10".
std::wstring ServerUrl(const std::string& path);

// The folder the server's /web/ route serves files from, and its URL.
std::filesystem::path WebRoot();
std::wstring WebUrl(const std::string& path);

// The first n bytes of every body the server sends: byte i is i % 251.
std::string Pattern(std::size_t n);

}  // namespace setup::test
