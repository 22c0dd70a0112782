// The little the helper programs need that differs between the platforms.
#pragma once

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace helper {

// Standard output and error byte-exact (no LF to CR LF on Windows).
inline void BinaryOutput() {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
}

// The arguments as UTF-8. On Windows they are split from the command line as
// CommandLineToArgvW splits it, since the C runtime's argv is in the ANSI code
// page and loses letters outside it.
inline std::vector<std::string> Utf8Args(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 0; wide && i < count; ++i) {
        int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(size > 0 ? size : 1, '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), size, nullptr, nullptr);
        arg.pop_back();  // the terminating zero
        args.push_back(arg);
    }
    LocalFree(wide);
    return args;
#else
    return std::vector<std::string>(argv, argv + argc);
#endif
}

inline unsigned long Pid() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(getpid());
#endif
}

// Whether this process holds a handle (Windows) or descriptor of that number.
inline bool Holds(unsigned long long number) {
#ifdef _WIN32
    DWORD flags = 0;
    return GetHandleInformation(reinterpret_cast<HANDLE>(number), &flags) != 0;
#else
    return fcntl(static_cast<int>(number), F_GETFD) != -1;
#endif
}

// Written whole under a temporary name, so a reader never sees half of it.
inline void WriteFile(const std::string& path, const std::string& text) {
    {
        std::ofstream out(path + ".tmp", std::ios::binary);
        out << text;
    }
    std::rename((path + ".tmp").c_str(), path.c_str());
}

}  // namespace helper
