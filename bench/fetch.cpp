// Downloads one URL into a file with Get, for timing against other clients;
// with "sha256" it computes the digest on the way, as the tool stage does.
#include <cstdio>
#include <cstring>

#include "http.h"

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4 || (argc == 4 && std::strcmp(argv[3], "sha256") != 0)) {
        std::fputs("usage: fetch URL FILE [sha256]\n", stderr);
        return 2;
    }
    setup::fs::path file = argv[2];
    setup::Answer answer;
    if (argc == 4) answer.hash = setup::Hash::kSha256;
    if (!setup::Get(setup::Widen(argv[1]), nullptr, &file, nullptr, &answer)) return 1;
    for (unsigned char byte : answer.digest) std::printf("%02x", byte);
    if (!answer.digest.empty()) std::printf("\n");
    return 0;
}
