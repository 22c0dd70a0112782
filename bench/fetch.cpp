// Downloads one URL into a file with Get, for timing against other clients.
#include <cstdio>

#include "http.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: fetch URL FILE\n", stderr);
        return 2;
    }
    setup::fs::path file = argv[2];
    return setup::Get(setup::Widen(argv[1]), nullptr, &file, nullptr) ? 0 : 1;
}
