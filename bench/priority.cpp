// Runs a command through Run as the build stage does (lowered: with a
// Watch, which runs it below normal priority) or as any other command is run
// (normal), and prints its wall time in seconds; the command's first line of
// output goes to standard error.
//   priority lowered|normal COMMAND ARGS...
#include <chrono>
#include <cstdio>
#include <string>

#include "setup.h"

using namespace setup;

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    bool lowered = std::string(argv[1]) == "lowered";
    std::wstring command = Quote(argv[2]);
    for (int i = 3; i < argc; ++i) command += L" " + Quote(argv[i]);
    std::string first;
    LineHandler keep = [&first](const std::string& line) {
        if (first.empty()) first = line;
    };
    Watch watch;
    auto start = std::chrono::steady_clock::now();
    int code = Run(command, {}, keep, lowered ? &watch : nullptr);
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("%.3f\n", took.count());
    if (!first.empty()) std::fprintf(stderr, "%s\n", first.c_str());
    return code;
}
