// The little the helper programs need that differs between the platforms.
#pragma once

#include <cstdio>
#include <fstream>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
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
