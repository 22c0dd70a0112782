// The program's only network client: one GET per call, its body into memory
// or a file, its progress to the window. The backends (WinHTTP on Windows,
// libcurl on Linux) make one attempt each through Fetch; the attempts, their
// waits, the resume of a short body and the log lines are shared here.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "hash.h"
#include "setup.h"

namespace setup {

// Why a Get answered false, for callers whose message depends on it.
enum class Trouble {
    kNone,
    kNetwork,   // no answer, a failed status (see Answer::status) or a body that ended short
    kProxy,     // the proxy couldn't be reached or refused: see Answer::proxy
    kSecure,    // the secure connection couldn't be made
    kLimit,     // GitHub's rate limit: see Answer::reset
    kTooLarge,  // an answer read into memory was larger than kMaxBody
    kNoSpace,   // the drive filled up
    kNoWrite,   // the file couldn't be created or written: see Answer::reason
    kCancelled,
};

// A file's part that an earlier run downloaded: Get asks for the rest.
struct Kept {
    bool record = false;       // keep a record beside the file while it downloads (part.h)
    std::uint64_t size = 0;    // bytes in the file; 0: nothing kept
    std::uint64_t length = 0;  // of the whole body
    std::string validator;     // the answer's ETag or Last-Modified, for If-Range
};

// What one Get found out besides true or false.
struct Answer {
    Hash hash = Hash::kNone;  // asked for: the digest of the whole body
    Kept kept;                // asked for: the file holds this part already
    bool lookup = false;      // asked for: a lookup that may carry the user's GitHub token
    // Asked for: where a labelled download's progress goes in place of the
    // window, when the status line sums up several jobs.
    std::function<void(std::uint64_t received, std::uint64_t length)> progress;
    // Asked for, with progress: told when the download is tried again.
    std::function<void()> retrying;
    std::string digest;  // raw bytes, when Get answered true
    Trouble trouble = Trouble::kNone;
    std::wstring reason;     // the system's words for kNoWrite
    std::wstring cause;      // why the last attempt failed, as logged
    std::wstring proxy;      // kProxy: its host and port
    long status = 0;         // the last attempt's failed status; 0 for none
    std::uint64_t size = 0;  // the whole body's declared size; 0 when unknown
    std::time_t reset = 0;   // kLimit: when the limit ends
    std::wstring refused;    // the variable whose token GitHub refused; asked again without it
};

// Answers read into memory (release and package lists) are never larger.
constexpr std::uint64_t kMaxBody = 8u << 20;

// Fetches url; true exactly when the status was 200 (or 206 to a resume) and
// the whole body arrived. Every received byte is appended to body and
// written to file (each when given); with a label, progress and status texts
// are posted under it. A failure for the network's sake is tried again, up to
// three attempts in all; each failed attempt writes one log line. A cancel
// answers false at once, keeping what was read.
bool Get(const std::wstring& url, std::string* body, const fs::path* file, const wchar_t* label,
         Answer* answer = nullptr);

// The user's GitHub token (GITHUB_TOKEN, else GH_TOKEN) for a lookup on the
// GitHub API's base; empty for any other URL (a download's above all), for
// a value no token can have, and for one GitHub has refused in this process.
// `name` is the variable's.
std::string TokenFor(const std::wstring& url, std::wstring* name = nullptr);

// Waits before the second and third attempts, in milliseconds; tests shorten them.
extern int s_retryWaits[2];

// "12 MB of 38 MB": a count of bytes and their whole (0: unknown), in the
// unit that suits the larger, the count rounded and the whole truncated.
std::wstring ByteFigures(std::uint64_t received, std::uint64_t length);
// The status line of a download: received bytes rounded to whole MB, the
// length (0 when unknown) truncated to whole MB.
std::wstring DownloadText(const wchar_t* label, std::uint64_t received, std::uint64_t length);
// The text a download's progress is posted with: DownloadText, unless a front
// end has more to say (the console adds the speed and the time left).
extern std::wstring (*s_downloadText)(const wchar_t* label, std::uint64_t received,
                                      std::uint64_t length);

// The response of one attempt, as the backend saw it.
struct Response {
    long status = 0;
    std::uint64_t length = 0;      // Content-Length; 0 when none
    std::uint64_t rangeStart = 0;  // of a 206's Content-Range
    std::uint64_t rangeTotal = 0;  // its whole length; 0 when unknown ("*") or none
    bool limitSpent = false;       // X-RateLimit-Remaining: 0
    std::time_t reset = 0;         // X-RateLimit-Reset
    std::string validator;         // a strong ETag, else Last-Modified; empty for none
};

// A digest computed on a thread of its own, so that it costs the download
// no time while a core is free. Chunks are copied into a ring of kBacklog
// bytes outside the lock; when it is full, Add waits. Either side wakes the
// other only when that one sleeps: the hashing thread once kBatch bytes wait
// (or the digest is asked for), Add when the ring was full, so a download
// costs a wake-up every kBatch bytes at most, not two a chunk.
class Digest {
  public:
    explicit Digest(Hash hash);
    ~Digest();
    Digest(const Digest&) = delete;
    Digest& operator=(const Digest&) = delete;

    void Add(const char* data, std::size_t size);
    void Reset();
    std::string Finish();  // raw bytes of everything added since the start or Reset

  private:
    static constexpr std::size_t kBacklog = 2u << 20;
    static constexpr std::size_t kBatch = 256u << 10;
    void Loop();
    std::unique_lock<std::mutex> Idle();

    Hasher hasher_;
    std::vector<char> ring_;
    std::mutex lock_;
    std::condition_variable data_;  // the hashing thread waits here
    std::condition_variable room_;  // Add and Idle wait here
    std::size_t added_ = 0;         // bytes put into the ring, ever
    std::size_t hashed_ = 0;        // bytes hashed, ever; the ring holds the difference
    bool hashing_ = false;          // the thread is awake (not waiting for data)
    bool waiting_ = false;          // Add or Idle waits for room
    bool stop_ = false;
    std::thread thread_;
};

// What one call does with the responses of its attempts.
class Download {
  public:
    Download(std::string* body, const fs::path* file, const wchar_t* label, Hash hash);

    // Where a resume would start: the bytes kept so far; 0 for none.
    std::uint64_t Resume() const { return resume_ ? received_ : 0; }
    // The status of the attempt's final response; 0 before it came.
    long Status() const { return begun_ ? response_.status : 0; }
    // What a resume sends as If-Range; empty: nothing.
    const std::string& Validator() const { return validator_; }
    // Continues the file's part that an earlier run left; false when it can't be read.
    bool Keep(const Kept& kept);
    // Begin refused a resume (a range at another offset, 416): true once,
    // with a log line, and the attempt is made again from the start.
    bool Refused(int attempt);
    // The final response's headers arrived; false ends the attempt (the file
    // can't be made, the status isn't the one wanted, the answer is too big).
    bool Begin(const Response& response);
    // One chunk of the body: kept, hashed, counted and reported; false ends
    // the attempt (a full disk, an answer over its cap).
    bool Take(const char* data, std::size_t size);
    // The body ended: true when it had no length or reached it, and the file
    // holds all of it.
    bool Finish();
    // One attempt failed with the system's words (empty: the answer says why);
    // true when it is worth another.
    bool Failed(const std::wstring& error, int attempt);
    // Shows the status line again, marked as retrying.
    void Retrying();

    Answer answer;
    std::wstring url;
    bool record = false;  // keeps a record beside the file for a later run (part.h)
    // Answer::progress of the call; empty: the window hears of it.
    std::function<void(std::uint64_t, std::uint64_t)> progress;
    std::function<void()> retrying;  // Answer::retrying of the call
    bool retry = true;               // Fetch clears it for a request that can't ever succeed
    // Sent as "Authorization: Bearer" to the GitHub API only, and never on to
    // a redirect's target on another host; empty: none.
    std::string token;
    // Fetch sets these for a failure that isn't the connection's own.
    Trouble failure = Trouble::kNone;
    std::wstring proxy;  // kProxy: its host and port

  private:
    void Report();
    void LogAttempt(const std::wstring& why, int attempt);
    bool Restart();
    bool WriteFailed();

    std::string* body_;
    const fs::path* file_;
    const wchar_t* label_;
    std::size_t bodyStart_;
    Digest digest_;
    std::ofstream out_;
    Response response_;
    std::uint64_t length_ = 0;    // of the whole body; 0 when unknown
    std::uint64_t received_ = 0;  // of the whole body
    bool begun_ = false;          // this attempt's response was taken
    bool accepted_ = false;       // and its status was the one wanted
    bool resume_ = false;         // the last attempt's body ended short
    bool refused_ = false;        // Begin turned a resume down: start again
    std::uint64_t asked_ = 0;     // where that resume asked to start
    std::string validator_;       // of the answer whose part is kept
    bool retrying_ = false;
    int posted_ = -2;  // no real percentage, so the first chunk always posts
};

// Reads a Content-Range value ("bytes FIRST-LAST/TOTAL") into the
// response's rangeStart and rangeTotal.
void ReadContentRange(const std::string& value, Response& response);

// One attempt: sends a Range header when download.Resume() is not 0, passes
// the final response to Begin and its body to Take. True when the transfer
// ended in order; otherwise false with the system's words in error (empty
// when Begin or Take refused).
bool Fetch(const std::wstring& url, Download& download, std::wstring& error);

// Interrupts the transfer in flight, from any thread: the cancel's part.
namespace os {
void AbortTransfer();
}

}  // namespace setup
