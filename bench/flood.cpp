// A child that floods its output like a long build: LINES lines of about 60
// bytes, one in twenty an indented percentage line. It writes its own wall
// time (seconds, from its start to its last byte written) to TIMEFILE, so that
// the time the reader costs it can be told apart from everything else. With
// a RATE it prints no faster than that many lines a second, as a real build
// does, instead of flat out.
//   flood LINES TIMEFILE [RATE]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    long lines = std::atol(argv[1]);
    double rate = argc > 3 ? std::atof(argv[3]) : 0;
    // Fully buffered in 4 KiB, as glibc buffers any output that isn't a
    // terminal; Windows' C runtime leaves a device such as NUL unbuffered.
    static char buffer[4096];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < lines; ++i) {
        if (rate > 0 && i % 1000 == 0) {
            std::fflush(stdout);
            std::this_thread::sleep_until(start + std::chrono::duration<double>(i / rate));
        }
        if (i % 20 == 19) {
            std::printf("  [%3ld%%] Recompiling functions of the game, part %07ld\n",
                        i * 100 / lines, i);
        } else {
            std::printf("[%07ld/%07ld] Building CXX object src/ppc/func_%07ld.cpp.o\n", i + 1,
                        lines, i);
        }
    }
    std::fflush(stdout);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    FILE* out = std::fopen(argv[2], "w");
    if (!out) return 1;
    std::fprintf(out, "%.3f\n", seconds);
    std::fclose(out);
    return 0;
}
