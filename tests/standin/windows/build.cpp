// The game's build as the setup program sees it: the project's build script
// (run by python.exe) extracts the disc, checks the tools, configures and has
// ninja.exe, a child of its own as in a real build, compile the steps; then
// it writes the launcher.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "standin.h"

namespace standin {

namespace {

constexpr int kSteps = 40;

// Whether the compiles at once (CMake's variable, else Ninja's default for
// the cores) are more than CORVANE_BUILD_MEMORY, the most the memory holds.
bool OutOfMemory() {
    auto fits = Env(L"CORVANE_BUILD_MEMORY"), level = Env(L"CMAKE_BUILD_PARALLEL_LEVEL");
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    int cores = static_cast<int>(info.dwNumberOfProcessors);
    int count = level && !level->empty() ? std::stoi(*level) : cores == 2 ? 3 : cores + 2;
    return fits && !fits->empty() && count > std::stoi(*fits);
}

void Fill(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

std::string Head(const fs::path& file, std::size_t size) {
    std::ifstream in(file, std::ios::binary);
    std::string bytes(size, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

int Extract(const std::optional<fs::path>& disc, const fs::path& target) {
    if (!disc) {
        Say("error: the game isn't extracted yet; give the disc with --iso PATH");
        return 2;
    }
    fs::create_directories(target);
    std::error_code ec;
    if (fs::is_directory(*disc, ec)) {
        if (!fs::exists(*disc / "default.xex", ec)) {
            Say(L"error: " + disc->native() + L" holds no default.xex");
            return 2;
        }
        CopyTree(*disc, target);
        return 0;
    }
    if (!fs::is_regular_file(*disc, ec)) {
        Say(L"error: no disc image at " + disc->native());
        return 2;
    }
    std::uintmax_t size = fs::file_size(*disc);
    Fill(target / "default.xex", "XEX2" + Head(*disc, 4096));
    for (const char* name : {"levels.pak", "sounds.pak", "textures.pak"})
        Fill(target / name, std::string(std::min<std::uintmax_t>(size, 65536), '\0'));
    return 0;
}

void WriteLauncher() {
    fs::path runtime = fs::path("build") / "runtime";
    fs::create_directories(runtime);
    fs::path launcher = runtime / "CorvaneLauncher.exe";
    // Plain text: Wine may start a file that begins with "#!" as a Linux script.
    if (Env(L"CORVANE_BUILD_BAD_LAUNCHER"))
        Fill(launcher, "not a program\n");
    else
        CopyOver(Self(), launcher);
}

int BuildScript(const std::optional<fs::path>& disc) {
    RecordPid();
    // Run again with fewer at once, it starts slowly: the window's status
    // says why for a while.
    if (Env(L"CORVANE_BUILD_MEMORY") && Env(L"CMAKE_BUILD_PARALLEL_LEVEL")) Sleep(1000);
    fs::path extracted = fs::path("game") / "extracted";
    std::error_code ec;
    if (!fs::exists(extracted / "default.xex", ec)) {
        Say("==> Extracting the game's files");
        for (int percent = 0; percent <= 100; percent += 20) {
            Say("  " + std::to_string(percent) + "% extracted");
            Pause();
        }
        if (int code = Extract(disc, extracted)) return code;
    }

    Say("==> Checking the build tools");
    for (const wchar_t* tool : {L"cmake", L"ninja", L"clang++"}) {
        fs::path found = Which(tool);
        if (found.empty()) {
            Say(L"error: " + std::wstring(tool) + L" isn't on the PATH");
            return 3;
        }
        Say(L"found " + std::wstring(tool) + L" at " + found.native());
    }

    Say("==> Configuring");
    Pause();
    Say("-- The CXX compiler identification is Clang 19.1.4");
    Say("==> Building");
    if (Start(Which(L"ninja"), L"") != 0) return 1;
    Fill(fs::path("build") / "libgame.a", "!<arch>\n" + std::string(8192, '\0'));
    if (!Env(L"CORVANE_BUILD_NO_LAUNCHER")) WriteLauncher();
    Say("==> Done");
    return 0;
}

bool Only(const Args& args, const wchar_t* word) {
    return args.size() == 1 && args[0] == word;
}

}  // namespace

int Python(const Args& args) {
    if (Only(args, L"--version")) {
        Say("Python 3.12.10");
        return 0;
    }
    std::size_t i = 0;
    while (i < args.size() && args[i] == L"-u") ++i;
    if (i == args.size()) {
        Complain("python (stand-in): runs a script only");
        return 2;
    }
    fs::path script = args[i++];
    std::error_code ec;
    if (!fs::is_regular_file(script, ec)) {
        Complain(Self().native() + L": can't open file '" + fs::absolute(script, ec).native() +
                 L"': [Errno 2] No such file or directory");
        return 2;
    }
    std::optional<fs::path> disc;
    for (; i < args.size(); ++i) {
        if (args[i] == L"--iso" && i + 1 < args.size()) {
            disc = args[++i];
            continue;
        }
        Complain("usage: build.py [-h] [--iso ISO]");
        Complain(L"build.py: error: unrecognized arguments: " + args[i]);
        return 2;
    }
    return BuildScript(disc);
}

// As Ninja 1.13 does with the jobserver that MAKEFLAGS names: a token from
// the semaphore for a job beyond the first, given back when it ends.
void Token() {
    auto flags = Env(L"MAKEFLAGS");
    std::size_t at = flags ? flags->find(L"--jobserver-auth=") : std::wstring::npos;
    if (at == std::wstring::npos) return;
    std::wstring name = flags->substr(at + 17, flags->find(L' ', at) - at - 17);
    HANDLE jobs = OpenSemaphoreW(SYNCHRONIZE | SEMAPHORE_MODIFY_STATE, FALSE, name.c_str());
    if (!jobs || WaitForSingleObject(jobs, 10000) != WAIT_OBJECT_0) {
        Say(L"ninja: no token from the jobserver " + name);
    } else {
        Say("ninja: a job on a token of the jobserver");
        ReleaseSemaphore(jobs, 1, nullptr);
    }
    if (jobs) CloseHandle(jobs);
}

int Ninja(const Args& args) {
    if (Only(args, L"--version")) {
        auto version = Env(L"CORVANE_NINJA_VERSION");
        Say(version && !version->empty() ? Utf8(*version) : "1.12.1");
        return 0;
    }
    RecordPid();
    Token();
    fs::path objects = fs::path("build") / "obj", generated = fs::path("generated") / "ppc";
    fs::create_directories(objects);
    fs::create_directories(generated);
    for (int i = 1; i <= kSteps; ++i) {
        char name[16], step[80];
        std::snprintf(name, sizeof name, "func_%04d", i);
        std::snprintf(step, sizeof step, "[%d/%d] Building CXX object src/ppc/%s.cpp.obj", i,
                      kSteps, name);
        Say(step);
        std::string code;
        for (int line = 0; line < 64; ++line) code += "// generated\n";
        Fill(generated / (std::string(name) + ".cpp"), code);
        Fill(objects / (std::string(name) + ".obj"), std::string(4096, '\0'));
        if (i == kSteps / 2 && OutOfMemory()) {
            Say("LLVM ERROR: out of memory");
            Say("ninja: build stopped: subcommand failed.");
            return 1;
        }
        if (i == kSteps / 2 && Env(L"CORVANE_BUILD_FAIL")) {
            Say(std::string("src/ppc/") + name +
                ".cpp:12:3: error: use of undeclared identifier 'r3'");
            Say("ninja: build stopped: subcommand failed.");
            return 1;
        }
        Pause();
    }
    return 0;
}

int Launcher() {
    std::error_code ec;
    std::ofstream(Self().parent_path() / "launched.txt", std::ios::binary | std::ios::app)
        << "started in " << Utf8(fs::current_path(ec).native()) << "\n";
    return 0;
}

int Version(const std::wstring& name, const Args& args) {
    if (Only(args, L"--version")) {
        if (name == L"cmake")
            Say("cmake version 3.31.0");
        else if (name == L"clang++")
            Say("clang version 19.1.4");
        else
            Say(name + L" (stand-in)");
        return 0;
    }
    Say(name + L" (stand-in): nothing to do");
    return 0;
}

}  // namespace standin
