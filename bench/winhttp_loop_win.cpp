// The plainest WinHTTP download: 1 MiB reads straight into a file. The yard
// stick for Get's chunk loop under the same WinHTTP.
#include <windows.h>
#include <winhttp.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Internet {
    HINTERNET h;
    ~Internet() {
        if (h) WinHttpCloseHandle(h);
    }
};

std::wstring Wide(const char* text) {
    std::wstring out(MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), static_cast<int>(out.size()));
    out.pop_back();
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: winhttp_loop URL FILE\n", stderr);
        return 2;
    }
    std::wstring url = Wide(argv[1]);
    // Lengths without buffers: the parts point into the URL itself, and the
    // query follows the path there.
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = ~DWORD{0};
    if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) return 1;
    std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring target(parts.lpszUrlPath, parts.dwUrlPathLength + parts.dwExtraInfoLength);

    Internet session{WinHttpOpen(L"loop", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                 WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0)};
    Internet connection{session.h ? WinHttpConnect(session.h, host.c_str(), parts.nPort, 0)
                                  : nullptr};
    Internet request{connection.h
                         ? WinHttpOpenRequest(connection.h, L"GET", target.c_str(), nullptr,
                                              WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0)
                         : nullptr};
    if (!request.h ||
        !WinHttpSendRequest(request.h, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                            0, 0) ||
        !WinHttpReceiveResponse(request.h, nullptr))
        return 1;
    std::unique_ptr<FILE, int (*)(FILE*)> out(std::fopen(argv[2], "wb"), std::fclose);
    if (!out) return 1;
    std::vector<char> buffer(1 << 20);
    DWORD read = 0;
    while (WinHttpReadData(request.h, buffer.data(), static_cast<DWORD>(buffer.size()), &read) &&
           read > 0)
        std::fwrite(buffer.data(), 1, read, out.get());
    return 0;
}
