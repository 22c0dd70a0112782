// The program's only network client: one GET per call, its body into memory
// or a file, its progress to the window. The backends (WinHTTP on Windows,
// libcurl on Linux) share everything but the transport through Download.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

#include "setup.h"

namespace setup {

// Fetches url; true exactly when the status was 200 and the whole body
// arrived. Every received byte is appended to body and written to file (each
// when given); with a label, progress and status texts are posted under it.
// A cancel is seen before each chunk and answers false, keeping what was read.
bool Get(const std::wstring& url, std::string* body, const fs::path* file, const wchar_t* label);

// The status line of a download: received bytes rounded to whole MB, the
// length (0 when unknown) truncated to whole MB.
std::wstring DownloadText(const wchar_t* label, std::uint64_t received, std::uint64_t length);
// The text a download's progress is posted with: DownloadText, unless a front
// end has more to say (the console adds the speed and the time left).
extern std::wstring (*s_downloadText)(const wchar_t* label, std::uint64_t received,
                                      std::uint64_t length);

// What one call does with the response once it has arrived.
class Download {
  public:
    Download(std::string* body, const fs::path* file, const wchar_t* label)
        : body_(body), file_(file), label_(label) {}

    // Creates (or truncates) the file asked for; true when there is none.
    bool Open();
    // The response's declared length; 0 when it gave none.
    void SetLength(std::uint64_t length) { length_ = length; }
    // One chunk of the body: kept, counted and reported; false when the file
    // could not take it (a full disk), which ends the download.
    bool Take(const char* data, std::size_t size);
    // The body ended: true when it had no length or reached it, and the file
    // holds all of it.
    bool Finish();

  private:
    void Report();

    std::string* body_;
    const fs::path* file_;
    const wchar_t* label_;
    std::ofstream out_;
    std::uint64_t length_ = 0;
    std::uint64_t received_ = 0;
    int posted_ = -2;  // no real percentage, so the first chunk always posts
};

}  // namespace setup
