// Where the newest release of each build tool is: GitHub's latest-release
// answer for most of them, NuGet's flat container for Windows' Python.
#pragma once

#include <cstdint>
#include <string>

#include "hash.h"

namespace setup {

// The digest a publisher gives for a download.
struct Published {
    Hash hash = Hash::kNone;  // kNone: nothing published, or a kind not checked
    std::string digest;       // raw bytes
    std::string unknown;      // the kind published, when it isn't one that is checked
};

// A published digest by its kind's name ("sha256", "SHA512": case doesn't
// matter) and raw bytes. Bytes of the wrong size give a digest that matches
// no download.
Published DigestOf(const std::string& kind, const std::string& bytes);
// The same from GitHub's form: the kind, ":" and hex digits of either case.
Published DigestOf(const std::string& text);

// A tool's archive: where it is and the digest its publisher gives for it.
struct Asset : Published {
    Asset(std::wstring address = {}) : url(std::move(address)) {}
    std::wstring url;
    std::uint64_t size = 0;  // as the release lists it; 0 when it doesn't
};

// The download URL of the first asset of the repository's latest release
// whose whole file name matches the pattern, ignoring case, with its digest.
// Ends the run with a message when the release can't be read or nothing
// matches.
Asset LatestAsset(const char* repo, const char* pattern);

// The package of the newest Python 3.12 on NuGet, with its digest.
Asset NugetPython();

// The same choices over answers already fetched; an empty url when nothing
// matches. The digest is as published ("sha256:" and hex), or empty.
struct Listed {
    std::string url;
    std::string digest;
    std::uint64_t size = 0;
};
Listed AssetIn(const std::string& json, const char* pattern);
std::string Python312In(const std::string& index);

}  // namespace setup
