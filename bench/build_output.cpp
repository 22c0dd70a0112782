// The build stage's output handler over representative build lines: what one
// line costs, messages to the receiver included; and the memory signs' test.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "build.h"
#include "mailbox.h"
#include "memory_sign.h"

using namespace setup;

namespace {

std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    for (int i = 0; i < 1000; ++i) {
        if (i % 100 == 0)
            lines.push_back("==> Recompiling the game's code, stage " + std::to_string(i));
        else if (i % 20 == 19)
            lines.push_back("  [" + std::to_string(i % 100) + "%] Recompiling functions");
        else if (i % 7 == 0)
            lines.push_back("warning: unused variable 'r" + std::to_string(i) + "' in func_8" +
                            std::to_string(i) + " [-Wunused-variable]");
        else
            lines.push_back("[" + std::to_string(i) + "/1000] Building CXX object src/ppc/func_" +
                            std::to_string(i) + ".cpp.o");
    }
    return lines;
}

void Drain(Mailbox& box) {
    while (auto m = box.Pop(std::chrono::milliseconds(0)))
        if (m->msg != kMsgProgress) TakeText(m->lParam);
}

// Feeds representative lines to `handler`, its messages to a receiver's queue.
template <class Handler>
void Feed(benchmark::State& state, Handler& handler) {
    auto lines = Lines();
    Mailbox box;
    s_window = &box;
    std::size_t i = 0;
    for (auto _ : state) {
        handler(lines[i++ % lines.size()]);
        if (i % 1000 == 0) Drain(box);
    }
    Drain(box);
    s_window = nullptr;
    state.SetItemsProcessed(state.iterations());
}

void BM_BuildOutputLine(benchmark::State& state) {
    BuildOutput output;
    Feed(state, output);
}
BENCHMARK(BM_BuildOutputLine)->Iterations(1000000);

// The stage's whole handler: the progress above and the cause tracker.
void BM_BuildLinesLine(benchmark::State& state) {
    BuildOutput progress;
    BuildLines output(progress);
    Feed(state, output);
}
BENCHMARK(BM_BuildLinesLine)->Iterations(1000000);

// The build stage's test of each line for a sign of running out of memory.
void BM_MemorySignLine(benchmark::State& state) {
    auto lines = Lines();
    std::size_t i = 0, signs = 0;
    for (auto _ : state) signs += MemorySign(lines[i++ % lines.size()]);
    benchmark::DoNotOptimize(signs);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MemorySignLine)->Iterations(1000000);

void BM_BuildOutputHugeLine(benchmark::State& state) {
    std::string line = "[1/2]" + std::string(1 << 20, ' ');
    Mailbox box;
    s_window = &box;
    BuildOutput output;
    for (auto _ : state) {
        output(line);
        Drain(box);
    }
    s_window = nullptr;
}
BENCHMARK(BM_BuildOutputHugeLine);

}  // namespace

BENCHMARK_MAIN();
