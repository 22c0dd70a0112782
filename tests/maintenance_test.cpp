#include <gtest/gtest.h>

#include <algorithm>

#include "maintenance.h"
#include "temp.h"

namespace mosk::maintenance {
namespace {

using setup::test::TempDir;
using setup::test::WriteBytes;
using setup::test::WriteSized;

constexpr std::uint64_t kMiB = 1ull << 20;
constexpr std::uint64_t kGiB = 1ull << 30;

const std::wstring kLeftovers = L"Build leftovers (object files, libraries, generated C++)";
const std::wstring kTools = L"Build tools Setup downloaded (Git, CMake, Ninja, Clang, Python)";

std::vector<fs::path> Sorted(std::vector<fs::path> paths) {
    std::sort(paths.begin(), paths.end());
    return paths;
}

TEST(SizeText, GigabytesFromOneGiBUpMegabytesBelow) {
    struct Case {
        std::uint64_t bytes;
        const wchar_t* text;
    } cases[] = {
        {0, L"0 MB"},
        {1, L"0 MB"},
        {700 * kMiB, L"700 MB"},
        {700 * kMiB + kMiB / 2 + 1, L"701 MB"},
        {kGiB - 1, L"1024 MB"},
        {kGiB, L"1.0 GB"},
        {1536 * kMiB, L"1.5 GB"},
        {12 * kGiB + 999 * kMiB, L"13.0 GB"},
        {~0ull, L"17179869184.0 GB"},
    };
    for (const Case& c : cases) EXPECT_EQ(SizeText(c.bytes), c.text) << c.bytes;
}

TEST(Lower, ExtensionMatchesCaseInsensitivelyAndWhole) {
    struct Case {
        const char* file;
        const wchar_t* ext;
        bool match;
    } cases[] = {
        {"main.OBJ", L".obj", true},    {"lib.A", L".a", true},      {"x/y/pre.Pch", L".pch", true},
        {"core.obj.d", L".obj", false}, {"core.obj.d", L".d", true}, {".obj", L".obj", false},
        {"main.obj", L".o", false},     {"main.o", L".obj", false},  {"main", L".o", false},
        {"main.objx", L".obj", false},
    };
    for (const Case& c : cases) EXPECT_EQ(Lower(c.file, c.ext), c.match) << c.file;
}

TEST(Leftovers, OnlyTheSevenExtensionsAndTheGeneratedSources) {
    TempDir dir;
    fs::path repo = dir / "corvane-recomp";
    fs::path build = repo / "build";
    WriteSized(build / "main.OBJ", 100);
    WriteSized(build / "sub" / "lib.A", 20);
    WriteSized(build / "deep" / "er" / "all.pch", 3);
    WriteSized(build / "x.o", 4);
    WriteSized(build / "y.lib", 5);
    WriteSized(build / "launcher.map", 6);
    WriteSized(build / "pre.gch", 7);
    WriteSized(build / "core.obj.d", 1000);
    WriteSized(build / "launcher.exe", 1000);
    WriteSized(build / ".obj", 1000);
    WriteSized(build / "runtime" / "CorvaneLauncher.exe", 1000);
    fs::create_directories(build / "empty.obj");  // a folder, not a file
    WriteSized(repo / "generated" / "ppc" / "a.cpp", 300);
    WriteSized(repo / "generated" / "ppc" / "b" / "b.cpp", 400);
    WriteSized(repo / "generated" / "other.cpp", 1000);

    Part part = Leftovers(repo);
    EXPECT_EQ(part.label, kLeftovers);
    EXPECT_EQ(part.bytes, 100u + 20 + 3 + 4 + 5 + 6 + 7 + 300 + 400);
    EXPECT_EQ(Sorted(part.paths),
              Sorted({build / "main.OBJ", build / "sub" / "lib.A",
                      build / "deep" / "er" / "all.pch", build / "x.o", build / "y.lib",
                      build / "launcher.map", build / "pre.gch", repo / "generated" / "ppc"}));
    // The generated sources go as one folder, after the build folder's files.
    EXPECT_EQ(part.paths.back(), repo / "generated" / "ppc");
}

TEST(Leftovers, NothingThereIsAnEmptyGroup) {
    TempDir dir;
    for (bool repoExists : {false, true}) {
        fs::path repo = dir / "corvane-recomp";
        if (repoExists) WriteBytes(repo / "build", "a file where the folder would be");
        Part part = Leftovers(repo);
        EXPECT_EQ(part.label, kLeftovers);
        EXPECT_TRUE(part.paths.empty());
        EXPECT_EQ(part.bytes, 0u);
    }
}

TEST(Tools, ReclaimedOnlyWithClangCMakeOrPython) {
    struct Case {
        std::vector<const char*> folders;
        bool reclaimed;
    } cases[] = {
        {{}, false},       {{"Git", "Ninja"}, false}, {{"Git", "Ninja", "Clang"}, true},
        {{"CMake"}, true}, {{"Python"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folders.size() ? c.folders.back() : "no tools folder");
        TempDir dir;
        fs::path repo = dir / "corvane-recomp", tools = dir / "tools";
        std::uint64_t size = 0;
        for (const char* name : c.folders) {
            WriteSized(tools / name / "bin" / "tool.exe", 1000);
            size += 1000;
        }
        if (!c.folders.empty()) WriteSized(tools / "archive.zip", 77), size += 77;
        Part part = Tools(repo);
        EXPECT_EQ(part.label, kTools);
        if (c.reclaimed) {
            EXPECT_EQ(part.paths, std::vector<fs::path>{tools});
            EXPECT_EQ(part.bytes, size);
        } else {
            EXPECT_TRUE(part.paths.empty());
            EXPECT_EQ(part.bytes, 0u);
        }
    }
}

TEST(Tools, AFileNamedLikeAToolFolderIsNotOne) {
    TempDir dir;
    WriteSized(dir / "tools" / "Clang", 1000);
    EXPECT_TRUE(Tools(dir / "corvane-recomp").paths.empty());
}

TEST(SizeOf, FileFolderOrNothing) {
    TempDir dir;
    WriteSized(dir / "one" / "a", 10);
    WriteSized(dir / "one" / "b" / "c", 32);
    WriteSized(dir / "one" / "b" / "d" / "e", 5 * kGiB);
    fs::create_directories(dir / "one" / "empty");
    EXPECT_EQ(SizeOf(dir / "one" / "a"), 10u);
    EXPECT_EQ(SizeOf(dir / "one"), 10u + 32 + 5 * kGiB);
    EXPECT_EQ(SizeOf(dir / "one" / "empty"), 0u);
    EXPECT_EQ(SizeOf(dir / "missing"), 0u);
}

TEST(SizeOf, LinksToFoldersAreNotFollowed) {
    TempDir dir;
    WriteSized(dir / "elsewhere" / "big", 1000);
    WriteSized(dir / "walked" / "small", 10);
    std::error_code ec;
    fs::create_directory_symlink(dir / "elsewhere", dir / "walked" / "link", ec);
    if (ec) GTEST_SKIP() << "no folder links here: " << ec.message();
    EXPECT_EQ(SizeOf(dir / "walked"), 10u);
}

}  // namespace
}  // namespace mosk::maintenance
