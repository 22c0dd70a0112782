// Measuring and deleting the reclaimable parts of a large install, against
// du -sb walking the same tree and rm -rf deleting a copy of it. The tree is
// 200,000 files: a build folder, the generated sources and downloaded tools.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "finish.h"
#include "maintenance.h"
#include "setup.h"

namespace {

namespace fs = std::filesystem;
namespace mm = mosk::maintenance;

constexpr int kFiles = 200000;
fs::path s_root;  // holds "tree" and, while a deletion is measured, "copy"

// Names a build leaves: one source's object file with its dependency file,
// and now and then a library, a precompiled header or a map.
const char* const kBuildNames[] = {".cpp.obj", ".cpp.obj.d", ".o",   ".o.d", ".a",
                                   ".lib",     ".pch",       ".map", ".gch", ".exe"};

void Write(const fs::path& file, std::size_t size) {
    static const std::string kBytes(4096, 'x');
    std::ofstream(file, std::ios::binary).write(kBytes.data(), static_cast<std::streamsize>(size));
}

// `count` files of up to 4 KB in folders of 100 below `base`, the i-th ending in ext(i).
template <class Ext>
int Fill(const fs::path& base, int count, Ext ext) {
    for (int i = 0; i < count; ++i) {
        fs::path folder = base / ("d" + std::to_string(i / 1000)) / ("s" + std::to_string(i / 100));
        if (i % 100 == 0) fs::create_directories(folder);
        Write(folder / ("f" + std::to_string(i) + ext(i)), (i * 7919) % 4096);
    }
    return count;
}

int MakeTree(const fs::path& install) {
    fs::path repo = install / "corvane-recomp";
    int n = Fill(repo / "build", 160000, [](int i) { return kBuildNames[i % 10]; });
    n += Fill(repo / "generated" / "ppc", 20000, [](int) { return ".cpp"; });
    const char* tools[] = {"Clang", "CMake", "Python", "Git", "Ninja"};
    for (const char* tool : tools)
        n += Fill(install / "tools" / tool, kFiles / 50, [](int) { return ""; });
    return n;
}

void Shell(const std::string& command) {
    if (std::system(command.c_str()) != 0) std::abort();
}

// A fresh copy of the tree, written out to the disk so that neither deletion
// pays for the copy's writes.
void Copy() {
    Shell("cp -a '" + (s_root / "tree").string() + "' '" + (s_root / "copy").string() +
          "' && sync");
}

void Walk(benchmark::State& state) {
    fs::path repo = s_root / "tree" / "corvane-recomp";
    for (auto _ : state) {
        mm::Part leftovers = mm::Leftovers(repo);
        mm::Part tools = mm::Tools(repo);
        benchmark::DoNotOptimize(leftovers.bytes + tools.bytes);
        state.counters["leftover paths"] = static_cast<double>(leftovers.paths.size());
    }
}

// CPU seconds (user and system) of every finished child so far.
double ChildSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Its CPU time is reported beside the wall-clock time: the Walk's CPU column
// is the same measure, and neither suffers from other work on the machine.
void DuSb(benchmark::State& state) {
    double before = ChildSeconds();
    for (auto _ : state) Shell("du -sb '" + (s_root / "tree").string() + "' >/dev/null");
    state.counters["du CPU ms"] = (ChildSeconds() - before) * 1000 / state.iterations();
}

// The whole stage: both walks, then deleting every path of both groups.
void FreeSpace(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Copy();
        setup::Choices choices;
        choices.installDir = s_root / "copy";
        setup::RunState run{choices, setup::LayoutOf(choices.installDir), false, {}, {}};
        state.ResumeTiming();
        setup::FreeSpace(run);
        state.PauseTiming();
        fs::remove_all(s_root / "copy");  // what the stage keeps
        state.ResumeTiming();
    }
}

void RmRf(benchmark::State& state) {
    double cpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Copy();
        double before = ChildSeconds();
        state.ResumeTiming();
        Shell("rm -rf '" + (s_root / "copy").string() + "'");
        cpu += ChildSeconds() - before;
    }
    state.counters["rm CPU ms"] = cpu * 1000 / state.iterations();
}

BENCHMARK(Walk)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(DuSb)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(FreeSpace)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(RmRf)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    s_root = fs::temp_directory_path() / ("corvane-bench-" + std::to_string(getpid()));
    int files = MakeTree(s_root / "tree");
    benchmark::AddCustomContext("tree", std::to_string(files) + " files");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(s_root, ec);
    return 0;
}
