// The measuring walk on Windows (under Wine here): Leftovers and Tools of a
// generated install against the plainest walk that sizes the same tree, a
// FindFirstFileW loop, and the standard library's recursive walk with a size
// query per file. Median of several interleaved rounds each.
//   walk FOLDER [FILES]   (FOLDER is made, walked and deleted)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "maintenance.h"

namespace fs = std::filesystem;
namespace mm = mosk::maintenance;

namespace {

const wchar_t* const kBuildNames[] = {L".cpp.obj", L".cpp.obj.d", L".o",   L".o.d", L".a",
                                      L".lib",     L".pch",       L".map", L".gch", L".exe"};

void Fill(const fs::path& base, int count, bool build) {
    static const std::string kBytes(4096, 'x');
    for (int i = 0; i < count; ++i) {
        fs::path folder =
            base / (L"d" + std::to_wstring(i / 1000)) / (L"s" + std::to_wstring(i / 100));
        if (i % 100 == 0) fs::create_directories(folder);
        std::wstring name = L"f" + std::to_wstring(i) + (build ? kBuildNames[i % 10] : L".cpp");
        std::ofstream(folder / name, std::ios::binary)
            .write(kBytes.data(), static_cast<std::streamsize>((i * 7919) % 4096));
    }
}

// The plain walk: one FindFirstFileW listing per folder, sizes from it.
std::uint64_t Plain(const fs::path& folder) {
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((folder / L"*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return 0;
    std::uint64_t total = 0;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            total += Plain(folder / name);
        else
            total += (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
    } while (FindNextFileW(h, &found));
    FindClose(h);
    return total;
}

std::uint64_t Library(const fs::path& folder) {
    std::uint64_t total = 0;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec)) total += it->file_size(ec);
    return total;
}

template <class Call>
double Seconds(Call call) {
    auto start = std::chrono::steady_clock::now();
    call();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    fs::path root = argv[1];
    int files = argc > 2 ? std::stoi(argv[2]) : 20000;
    fs::path repo = root / "corvane-recomp";
    Fill(repo / "build", files * 8 / 10, true);
    Fill(repo / "generated" / "ppc", files / 10, false);
    for (const wchar_t* tool : {L"Clang", L"CMake", L"Python", L"Git", L"Ninja"})
        Fill(root / "tools" / tool, files / 50, false);

    std::vector<double> parts, plain, library;
    std::size_t paths = 0;
    for (int round = 0; round < 5; ++round) {
        parts.push_back(Seconds([&] {
            mm::Part leftovers = mm::Leftovers(repo);
            mm::Part tools = mm::Tools(repo);
            paths = leftovers.paths.size();
        }));
        plain.push_back(Seconds([&] { Plain(root); }));
        library.push_back(Seconds([&] { Library(root); }));
    }
    std::printf("%d files, %zu leftover paths, median of 5\n", files, paths);
    std::printf("  Leftovers + Tools                 %7.1f ms\n", Median(parts) * 1000);
    std::printf("  FindFirstFileW walk, whole tree   %7.1f ms\n", Median(plain) * 1000);
    std::printf("  recursive_directory_iterator      %7.1f ms\n", Median(library) * 1000);
    std::printf("ratio to the FindFirstFileW walk: %.2f\n", Median(parts) / Median(plain));
    std::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}
