#include "io.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace standin {

namespace {

void Put(FILE* to, const std::string& line) {
    std::string text = line + "\n";
    std::fwrite(text.data(), 1, text.size(), to);
    std::fflush(to);
}

// Closes a handle on every path out.
struct Handle {
    HANDLE h = nullptr;
    ~Handle() {
        if (h) CloseHandle(h);
    }
};

}  // namespace

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
}

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    int size =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), size);
    return text;
}

void Say(const std::string& line) {
    Put(stdout, line);
}
void Say(const std::wstring& line) {
    Put(stdout, Utf8(line));
}
void Complain(const std::string& line) {
    Put(stderr, line);
}
void Complain(const std::wstring& line) {
    Put(stderr, Utf8(line));
}

std::optional<std::wstring> Env(const wchar_t* name) {
    wchar_t none = 0;
    DWORD size = GetEnvironmentVariableW(name, &none, 0);
    if (size == 0) return std::nullopt;
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), size));
    return value;
}

void CopyOver(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::remove(to, ec);
    fs::copy_file(from, to);
}

namespace {

void Below(const fs::path& root, const fs::path& at, std::vector<fs::path>& files) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((root / at / L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            Below(root, at / name, files);
        else
            files.push_back(at / name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

}  // namespace

std::vector<fs::path> FilesBelow(const fs::path& folder) {
    std::vector<fs::path> files;
    Below(folder, {}, files);
    std::sort(files.begin(), files.end());
    return files;
}

void CopyTree(const fs::path& from, const fs::path& to) {
    fs::create_directories(to);
    for (const fs::path& file : FilesBelow(from)) {
        fs::create_directories((to / file).parent_path());
        CopyOver(from / file, to / file);
    }
}

fs::path Self() {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (n < name.size()) {
            name.resize(n);
            return name;
        }
        name.resize(name.size() * 2);
    }
}

fs::path Which(const std::wstring& name) {
    std::wstring path = Env(L"PATH").value_or(L"");
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(L';', start);
        if (end == std::wstring::npos) end = path.size();
        std::wstring folder = path.substr(start, end - start);
        start = end + 1;
        if (folder.empty()) continue;
        std::error_code ec;
        fs::path program = fs::path(folder) / (name + L".exe");
        if (fs::is_regular_file(program, ec)) return program;
    }
    return {};
}

void Pause() {
    double seconds = 0.01;
    if (auto pace = Env(L"CORVANE_BUILD_PACE")) seconds = std::wcstod(pace->c_str(), nullptr);
    if (seconds > 0) Sleep(static_cast<DWORD>(seconds * 1000));
}

void RecordPid() {
    auto file = Env(L"CORVANE_BUILD_PIDS");
    if (!file || file->empty()) return;
    std::ofstream(fs::path(*file), std::ios::app) << GetCurrentProcessId() << "\n";
}

int Start(const fs::path& program, const std::wstring& args) {
    std::wstring line = L"\"" + program.native() + L"\"" + (args.empty() ? L"" : L" " + args);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    for (HANDLE h : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
        if (h && h != INVALID_HANDLE_VALUE) SetHandleInformation(h, HANDLE_FLAG_INHERIT, 1);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &started))
        return -1;
    Handle process{started.hProcess}, thread{started.hThread};
    WaitForSingleObject(process.h, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.h, &code);
    return static_cast<int>(code);
}

}  // namespace standin
