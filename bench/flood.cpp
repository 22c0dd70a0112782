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

#include "../tests/helpers/portable.h"

namespace {

// Output goes in blocks of 4 KiB, each one write, as glibc buffers any
// output that isn't a terminal. The block is filled here rather than by the
// C library, since the Windows one writes line by line or translates line
// ends in small pieces, and the same child must do the same on both.
class Blocks {
  public:
    void Line(const char* format, long a, long b, long c) {
        char line[128];
        int size = std::snprintf(line, sizeof line, format, a, b, c);
        if (used_ + size > static_cast<int>(sizeof block_)) Flush();
        for (int i = 0; i < size; ++i) block_[used_ + i] = line[i];
        used_ += size;
    }
    void Flush() {
        std::fwrite(block_, 1, static_cast<std::size_t>(used_), stdout);
        used_ = 0;
    }

  private:
    char block_[4096];
    int used_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    long lines = std::atol(argv[1]);
    double rate = argc > 3 ? std::atof(argv[3]) : 0;
    helper::BinaryOutput();
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    Blocks out;
    auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < lines; ++i) {
        if (rate > 0 && i % 1000 == 0) {
            out.Flush();
            std::this_thread::sleep_until(start + std::chrono::duration<double>(i / rate));
        }
        if (i % 20 == 19)
            out.Line("  [%3ld%%] Recompiling functions of the game, part %07ld\n", i * 100 / lines,
                     i, 0);
        else
            out.Line("[%07ld/%07ld] Building CXX object src/ppc/func_%07ld.cpp.o\n", i + 1, lines,
                     i);
    }
    out.Flush();
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    FILE* time = std::fopen(argv[2], "w");
    if (!time) return 1;
    std::fprintf(time, "%.3f\n", seconds);
    std::fclose(time);
    return 0;
}
