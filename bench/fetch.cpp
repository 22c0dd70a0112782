// Downloads one URL into a file with Get, for timing against other clients;
// with "sha256" it computes the digest on the way, as the tool stage does.
// With --hash it instead hashes a file's bytes in line, 1 MiB at a time, and
// prints the CPU time the hashing alone took: what the digest would cost a
// download that hashed each chunk itself. With --kept it records FILE as a
// verified archive and prints the seconds each of ROUNDS re-checks of it
// took, as a run does before it unpacks a kept archive.
//   fetch URL FILE [sha256]
//   fetch --hash FILE
//   fetch --kept FILE ROUNDS
#include <cstdio>
#include <cstring>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <vector>

#include "hash.h"
#include "http.h"
#include "part.h"

namespace {

int HashInLine(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return 1;
    setup::Hasher hasher(setup::Hash::kSha256);
    std::vector<char> buffer(1 << 20);
    std::clock_t spent = 0;
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount()) {
        std::clock_t start = std::clock();
        hasher.Add(buffer.data(), static_cast<std::size_t>(in.gcount()));
        spent += std::clock() - start;
    }
    std::clock_t start = std::clock();
    hasher.Finish();
    spent += std::clock() - start;
    std::printf("%.3f\n", static_cast<double>(spent) / CLOCKS_PER_SEC);
    return 0;
}

int Rechecks(const setup::fs::path& archive, int rounds) {
    for (int i = 0; i < rounds; ++i) {
        auto start = std::chrono::steady_clock::now();
        if (setup::Recheck(archive) != setup::Keep::kWhole) return 1;
        std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
        std::printf("%.3f\n", spent.count());
    }
    return 0;
}

int Recheck(const char* path, int rounds) {
    setup::fs::path archive = path, record = archive.string() + ".info";
    // Recorded once: a later call times the re-check alone (of bytes the
    // caller may have dropped from the cache: dd iflag=nocache count=0).
    if (setup::fs::exists(record)) return Rechecks(archive, rounds);
    std::ifstream in(archive, std::ios::binary);
    setup::Hasher hasher(setup::Hash::kSha256);
    std::vector<char> buffer(1 << 20);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount())
        hasher.Add(buffer.data(), static_cast<std::size_t>(in.gcount()));
    setup::MarkVerified(archive, setup::Hash::kSha256, hasher.Finish());
    return Rechecks(archive, rounds);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--hash") == 0) return HashInLine(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "--kept") == 0)
        return Recheck(argv[2], std::atoi(argv[3]));
    if (argc < 3 || argc > 4 || (argc == 4 && std::strcmp(argv[3], "sha256") != 0)) {
        std::fputs(
            "usage: fetch URL FILE [sha256] | fetch --hash FILE | fetch --kept FILE ROUNDS\n",
            stderr);
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
