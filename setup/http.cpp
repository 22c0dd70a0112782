#include "http.h"

#include <cwchar>

namespace setup {

std::wstring DownloadText(const wchar_t* label, std::uint64_t received, std::uint64_t length) {
    std::wstring of = length ? L" of " + std::to_wstring(length >> 20) + L" MB" : L"";
    wchar_t text[256];
    // Longer texts are cut; the return value differs between C libraries then.
    std::swprintf(text, 256, L"Downloading %ls: %.0f MB%ls", label, received / 1048576.0,
                  of.c_str());
    text[255] = L'\0';
    return text;
}

std::wstring (*s_downloadText)(const wchar_t* label, std::uint64_t received,
                               std::uint64_t length) = DownloadText;

bool Download::Open() {
    if (!file_) return true;
    out_.open(*file_, std::ios::binary | std::ios::trunc);
    return out_.is_open();
}

bool Download::Take(const char* data, std::size_t size) {
    if (body_) body_->append(data, size);
    if (file_ && !out_.write(data, static_cast<std::streamsize>(size))) return false;
    received_ += size;
    if (label_) Report();
    return true;
}

bool Download::Finish() {
    if (file_ && !out_.flush()) return false;
    return length_ == 0 || received_ == length_;
}

void Download::Report() {
    int percent = length_ ? static_cast<int>(received_ * 100 / length_) : -1;
    if (percent == posted_) return;
    posted_ = percent;
    PostProgress(percent);
    PostText(kMsgStatus, s_downloadText(label_, received_, length_), kDownloadProgress);
}

}  // namespace setup
