#include "http.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <chrono>
#include <cwchar>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "os.h"
#include "part.h"
#include "urls.h"

namespace setup {

int s_retryWaits[2] = {1000, 4000};

namespace {

constexpr int kAttempts = 3;

// Waits, ending at once when the user cancels; false then.
bool Wait(int ms) {
    using namespace std::chrono;
    auto end = steady_clock::now() + milliseconds(ms);
    while (!s_cancel.load()) {
        auto left = duration_cast<milliseconds>(end - steady_clock::now());
        if (left.count() <= 0) return true;
        std::this_thread::sleep_for(std::min(left, milliseconds(20)));
    }
    return false;
}

bool Worth(long status) {
    return status >= 500 || status == 429;
}

}  // namespace

std::wstring ByteFigures(std::uint64_t received, std::uint64_t length) {
    // A small download in megabytes would read "0 MB of 0 MB".
    std::uint64_t most = std::max(received, length);
    std::uint64_t unit = most < 1024 ? 1 : most < (1u << 20) ? 1024 : 1048576;
    const wchar_t* name = unit == 1 ? L"bytes" : unit == 1024 ? L"KB" : L"MB";
    std::wstring of = length ? L" of " + std::to_wstring(length / unit) + L" " + name : L"";
    wchar_t text[128];
    std::swprintf(text, 128, L"%.0f %ls%ls",
                  static_cast<double>(received) / static_cast<double>(unit), name, of.c_str());
    return text;
}

std::wstring DownloadText(const wchar_t* label, std::uint64_t received, std::uint64_t length) {
    wchar_t text[256];
    // Longer texts are cut; the return value differs between C libraries then.
    std::swprintf(text, 256, L"Downloading %ls: %ls", label, ByteFigures(received, length).c_str());
    text[255] = L'\0';
    return text;
}

std::wstring (*s_downloadText)(const wchar_t* label, std::uint64_t received,
                               std::uint64_t length) = DownloadText;

Digest::Digest(Hash hash) : hasher_(hash) {
    if (hash == Hash::kNone) return;
    ring_.resize(kBacklog);
    thread_ = std::thread([this] { Loop(); });
}

Digest::~Digest() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> hold(lock_);
        stop_ = true;
    }
    data_.notify_one();
    thread_.join();
}

void Digest::Loop() {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        hashing_ = false;
        data_.wait(hold, [this] { return stop_ || added_ != hashed_; });
        if (stop_) return;
        hashing_ = true;
        while (added_ != hashed_) {
            // Everything waiting up to the ring's end, in one piece.
            std::size_t at = hashed_ % kBacklog;
            std::size_t size = std::min(added_ - hashed_, kBacklog - at);
            hold.unlock();
            hasher_.Add(ring_.data() + at, size);
            hold.lock();
            hashed_ += size;
            if (waiting_) {
                waiting_ = false;
                room_.notify_all();
            }
        }
    }
}

std::unique_lock<std::mutex> Digest::Idle() {
    std::unique_lock<std::mutex> hold(lock_);
    if (!hashing_ && added_ != hashed_) {
        hashing_ = true;
        data_.notify_one();
    }
    while (added_ != hashed_) {
        waiting_ = true;
        room_.wait(hold);
    }
    return hold;
}

void Digest::Add(const char* data, std::size_t size) {
    if (!thread_.joinable()) return;
    while (size > 0) {
        std::size_t at, room;
        {
            std::unique_lock<std::mutex> hold(lock_);
            while (added_ - hashed_ == kBacklog) {
                waiting_ = true;
                room_.wait(hold);
            }
            at = added_ % kBacklog;
            room = std::min(size, std::min(kBacklog - (added_ - hashed_), kBacklog - at));
        }
        // Only this thread writes the ring, and the hashing thread reads none
        // of this room until added_ says so.
        std::memcpy(ring_.data() + at, data, room);
        bool wake;
        {
            std::lock_guard<std::mutex> hold(lock_);
            added_ += room;
            // A sleeping thread is woken for a good batch only: waking it
            // costs more than hashing one of curl's 16 KiB chunks.
            wake = !hashing_ && added_ - hashed_ >= kBatch;
            if (wake) hashing_ = true;  // from here it is woken or about to be
        }
        if (wake) data_.notify_one();
        data += room;
        size -= room;
    }
}

void Digest::Reset() {
    if (!thread_.joinable()) return;
    auto hold = Idle();
    hasher_.Reset();
}

std::string Digest::Finish() {
    if (!thread_.joinable()) return {};
    auto hold = Idle();
    return hasher_.Finish();
}

namespace {

// A token GitHub refused (expired, revoked) isn't sent again by this process.
std::mutex s_refusedLock;
std::string s_refused;

bool Refused(const std::string& token) {
    std::lock_guard<std::mutex> hold(s_refusedLock);
    return token == s_refused;
}

// True for the first of the lookups side by side that GitHub refuses it to.
bool Refuse(const std::string& token) {
    std::lock_guard<std::mutex> hold(s_refusedLock);
    if (token == s_refused) return false;
    s_refused = token;
    return true;
}

}  // namespace

std::string TokenFor(const std::wstring& url, std::wstring* name) {
    std::wstring base = urls::GithubApi() + L"/";
    if (url.compare(0, base.size(), base) != 0) return {};
    bool present = false;
    const wchar_t* variable = L"GITHUB_TOKEN";
    std::wstring token = os::GetEnv(variable, &present);
    if (!present || token.empty()) token = os::GetEnv(variable = L"GH_TOKEN");
    // Anything but visible ASCII would let the value write other headers.
    for (wchar_t c : token)
        if (c <= L' ' || c > L'~') {
            Log(L"The GitHub token set in the environment has characters no token has: it isn't "
                L"sent.");
            return {};
        }
    if (name) *name = variable;
    return Narrow(token);
}

namespace {

bool Request(const std::wstring& url, std::string* body, const fs::path* file, const wchar_t* label,
             Answer* answer, const std::string& token) {
    Download download(body, file, label, answer ? answer->hash : Hash::kNone);
    download.url = url;
    download.token = token;
    if (answer) download.progress = answer->progress;
    if (answer) download.retrying = answer->retrying;
    if (answer && file) {
        download.record = answer->kept.record;
        if (answer->kept.size) download.Keep(answer->kept);
    }
    bool ok = false;
    for (int attempt = 1; attempt <= kAttempts && !s_cancel.load(); ++attempt) {
        if (attempt > 1) {
            download.Retrying();
            if (!Wait(s_retryWaits[attempt - 2])) break;
        }
        std::wstring error;
        bool fetched = Fetch(url, download, error);
        if (!fetched && !s_cancel.load() && download.Refused(attempt))
            fetched = Fetch(url, download, error);
        if (fetched && download.Finish()) {
            ok = true;
            break;
        }
        if (s_cancel.load() || !download.Failed(error, attempt)) break;
    }
    if (!ok && s_cancel.load()) download.answer.trouble = Trouble::kCancelled;
    if (!ok && download.answer.trouble == Trouble::kNone)
        download.answer.trouble = Trouble::kNetwork;
    if (answer) {
        Hash hash = answer->hash;
        Kept kept = std::move(answer->kept);
        *answer = std::move(download.answer);
        answer->hash = hash;
        answer->kept = std::move(kept);
    }
    return ok;
}

}  // namespace

bool Get(const std::wstring& url, std::string* body, const fs::path* file, const wchar_t* label,
         Answer* answer) {
    bool lookup = answer && answer->lookup;
    std::wstring variable;
    std::string token = lookup ? TokenFor(url, &variable) : std::string();
    bool refused = !token.empty() && Refused(token);
    if (refused) token.clear();
    std::size_t start = body ? body->size() : 0;
    bool ok = Request(url, body, file, label, answer, token);
    // An expired or revoked token is refused even what GitHub gives everyone:
    // asked again without it, the lookup goes on within the limit for a network.
    if (!ok && !token.empty() && answer->status == 401) {
        refused = true;
        if (Refuse(token))
            Log(L"GitHub refused the token in " + variable +
                L" (expired or revoked?); going on without it");
        if (body) body->resize(start);
        answer->lookup = lookup;
        ok = Request(url, body, file, label, answer, {});
    }
    if (answer) answer->refused = refused ? variable : std::wstring();
    return ok;
}

Download::Download(std::string* body, const fs::path* file, const wchar_t* label, Hash hash)
    : body_(body), file_(file), label_(label), bodyStart_(body ? body->size() : 0), digest_(hash) {}

bool Download::Keep(const Kept& kept) {
    std::ifstream in(*file_, std::ios::binary);
    std::vector<char> chunk(1 << 20);
    std::uint64_t left = kept.size;
    // A cancel stops the hashing too (a kept part may be gigabytes).
    while (in && left && !s_cancel.load()) {
        in.read(chunk.data(),
                static_cast<std::streamsize>(std::min<std::uint64_t>(left, chunk.size())));
        digest_.Add(chunk.data(), static_cast<std::size_t>(in.gcount()));
        left -= static_cast<std::uint64_t>(in.gcount());
    }
    in.close();
    errno = 0;
    if (left == 0) out_.open(*file_, std::ios::binary | std::ios::app);
    if (!out_.is_open()) {
        digest_.Reset();
        return false;
    }
    received_ = kept.size;
    length_ = kept.length;
    validator_ = kept.validator;
    resume_ = true;
    return true;
}

bool Download::Refused(int attempt) {
    if (!refused_) return false;
    refused_ = false;
    std::wstring why = L"status " + std::to_wstring(response_.status);
    if (response_.status == 206 && response_.rangeStart != asked_)
        why += L" from byte " + std::to_wstring(response_.rangeStart) + L", not " +
               std::to_wstring(asked_);
    else if (response_.status == 206)
        why += L" for another version of the file";
    LogAttempt(why + L"; asked again from the start", attempt);
    return true;
}

void Download::LogAttempt(const std::wstring& why, int attempt) {
    Log(L"Couldn't get " + url + L": " + why + L" (attempt " + std::to_wstring(attempt) + L" of " +
        std::to_wstring(kAttempts) + L")");
}

void ReadContentRange(const std::string& value, Response& response) {
    if (value.rfind("bytes ", 0) != 0) return;
    response.rangeStart = std::strtoull(value.c_str() + 6, nullptr, 10);
    std::size_t slash = value.find('/');
    if (slash != std::string::npos)
        response.rangeTotal = std::strtoull(value.c_str() + slash + 1, nullptr, 10);
}

bool Download::Begin(const Response& response) {
    begun_ = true;
    response_ = response;
    bool ranged = response.status == 206;
    // The rest of the file that the part here began: the range asked for, of
    // the kept length, from an answer with the kept validator (a server that
    // ignores If-Range would send the rest of a changed file).
    bool resumed = resume_ && ranged && response.rangeStart == received_ &&
                   (!length_ || received_ + response.length == length_) &&
                   (!length_ || !response.rangeTotal || response.rangeTotal == length_) &&
                   (response.validator.empty() || response.validator == validator_);
    // A range other than the one asked for, or none the server can serve:
    // the part here isn't one it would complete.
    if (resume_ && !resumed && (ranged || response.status == 416)) {
        asked_ = received_;
        resume_ = false;
        refused_ = true;
        Restart();
        return false;
    }
    bool wanted = response.status == 200 || resumed;
    // A failed answer to a resume keeps the part already here for the next one.
    if (!wanted && resume_) return false;
    resume_ = false;
    if (!resumed && !Restart()) return false;
    if (!wanted) return false;
    accepted_ = true;
    length_ = response.length ? (resumed ? received_ : 0) + response.length : 0;
    answer.size = length_;
    if (body_ && length_ > kMaxBody) {
        answer.trouble = Trouble::kTooLarge;
        return false;
    }
    if (!resumed) {
        validator_ = response.validator;
        if (record) Record(*file_, url, length_, validator_);
    }
    return true;
}

bool Download::Restart() {
    received_ = 0;
    posted_ = -2;
    digest_.Reset();
    if (body_) body_->resize(bodyStart_);
    if (!file_) return true;
    out_.close();
    out_.clear();
    errno = 0;
    out_.open(*file_, std::ios::binary | std::ios::trunc);
    return out_.is_open() || WriteFailed();
}

bool Download::WriteFailed() {
    std::error_code error(errno, std::generic_category());
    answer.trouble = error == std::errc::no_space_on_device ? Trouble::kNoSpace : Trouble::kNoWrite;
    answer.reason = error ? Widen(error.message()) : L"the system refused it";
    return false;
}

bool Download::Take(const char* data, std::size_t size) {
    if (body_) {
        if (body_->size() - bodyStart_ + size > kMaxBody) {
            answer.trouble = Trouble::kTooLarge;
            return false;
        }
        body_->append(data, size);
    }
    errno = 0;
    if (file_ && !out_.write(data, static_cast<std::streamsize>(size))) return WriteFailed();
    digest_.Add(data, size);
    received_ += size;
    if (label_) Report();
    return true;
}

bool Download::Finish() {
    errno = 0;
    if (file_ && !out_.flush()) return WriteFailed();
    if (length_ != 0 && received_ != length_) return false;
    answer.digest = digest_.Finish();
    return true;
}

bool Download::Failed(const std::wstring& error, int attempt) {
    std::wstring why;
    bool again = false;
    Trouble trouble = answer.trouble;
    if (trouble == Trouble::kTooLarge) {
        why = L"the answer is larger than " + std::to_wstring(kMaxBody >> 20) + L" MB";
    } else if (trouble == Trouble::kNoSpace || trouble == Trouble::kNoWrite) {
        why = L"writing " + PathText(*file_) + L": " + answer.reason;
    } else if (begun_ && !accepted_) {
        long status = response_.status;
        why = L"status " + std::to_wstring(status);
        answer.status = status;
        answer.trouble = Trouble::kNone;
        if ((status == 403 || status == 429) && response_.limitSpent) {
            answer.trouble = Trouble::kLimit;
            answer.reset = response_.reset;
            why += L", the rate limit is used up";
        } else if (status == 407 && !proxy.empty()) {
            answer.trouble = Trouble::kProxy;
            answer.proxy = proxy;
        } else {
            again = Worth(status);
        }
    } else if (!error.empty()) {
        why = error;
        again = retry;
        answer.status = 0;
        answer.trouble = failure;
        answer.proxy = proxy;
    } else {
        why = L"the answer ended after " + std::to_wstring(received_) + L" of " +
              std::to_wstring(length_) + L" bytes";
        again = true;
        answer.status = 0;
        answer.trouble = Trouble::kNone;
    }
    // Only a body of known length that ended short can be asked for its rest.
    if (accepted_ && length_ != 0 && received_ < length_) resume_ = true;
    begun_ = accepted_ = false;
    failure = Trouble::kNone;
    answer.cause = why;
    LogAttempt(why, attempt);
    return again;
}

void Download::Retrying() {
    retrying_ = true;
    if (label_ && !progress)
        PostText(kMsgStatus, DownloadText(label_, received_, length_) + L" (retrying)");
    if (label_ && progress && retrying) retrying();
}

void Download::Report() {
    if (progress) return progress(received_, length_);
    int percent = length_ ? static_cast<int>(received_ * 100 / length_) : -1;
    if (percent == posted_) return;
    posted_ = percent;
    PostProgress(percent);
    PostText(kMsgStatus,
             s_downloadText(label_, received_, length_) + (retrying_ ? L" (retrying)" : L""),
             kDownloadProgress);
}

}  // namespace setup
