// The proxy that git is given for the project's repository: the one the
// downloads use. On Windows that is what WinHTTP's automatic proxy finds;
// on Linux git reads the same environment variables as libcurl does itself.
#pragma once

#include <string>

namespace setup {

// git's options for a clone or fetch of that URL: "-c http.proxy=URL " when
// a proxy serves it, otherwise nothing.
std::wstring GitProxy(const std::wstring& url);

// The proxy a WinHTTP proxy list names for a URL of that scheme, as a URL
// ("http://host:port"), or empty. Entries are separated by ";" or spaces,
// each "host:port" or "scheme=host:port"; the entry for the scheme wins over
// a plain one, the first of a kind counts, and other schemes' are skipped.
std::wstring ProxyForScheme(const std::wstring& list, const std::wstring& scheme);

// Whether a WinHTTP bypass list names the host: entries separated by ";" or
// spaces, "*" matching any run of characters, letter case ignored, and
// "<local>" naming every host without a dot.
bool Bypassed(const std::wstring& list, const std::wstring& host);

}  // namespace setup
