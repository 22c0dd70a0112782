// Stands in for the system's text viewer in the tests' Wine prefix, where
// the tests register it for .log and .txt files: it writes the path it was
// asked to open, as UTF-8, to the file CORVANE_TEST_VIEWER_OUT names.
#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
    const wchar_t* out = _wgetenv(L"CORVANE_TEST_VIEWER_OUT");
    if (argc < 2 || !out || !*out) return 2;
    int size = WideCharToMultiByte(CP_UTF8, 0, argv[1], -1, nullptr, 0, nullptr, nullptr);
    std::string path(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, argv[1], -1, path.data(), size, nullptr, nullptr);
    FILE* file = _wfopen(out, L"wb");
    if (!file) return 1;
    std::fputs(path.c_str(), file);
    return std::fclose(file) == 0 ? 0 : 1;
}
