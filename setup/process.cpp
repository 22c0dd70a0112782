// Run's shared half: starting and cancel rules, cutting the output into lines,
// the handler calls and the log. The platform calls are behind os::Child.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "child.h"
#include "compiles.h"
#include "setup.h"
#include "stall.h"

namespace setup {

namespace {

// A flood of output is taken in large reads, and each read's lines go to
// setup.log in one write and to the window in one message.
constexpr std::size_t kReadSize = 64 * 1024;

// How long one read waits for output before the cancel flag and the
// command's end are looked at again.
constexpr int kWaitMs = 50;
// Once the command has ended, how long its output is still read: what it
// left running (a build's daemon, a compiler cache's server) may hold the
// pipe open for hours, and the command's result doesn't wait for that.
constexpr auto kGrace = std::chrono::seconds(1);
// How often a command still printing is asked whether it has ended.
constexpr auto kAskEvery = std::chrono::milliseconds(kWaitMs);
// How often a watched command's processes are counted: a look at every
// process of the system, while a compile worth counting lasts seconds.
constexpr auto kCountEvery = std::chrono::milliseconds(200);

// An indented line with a percentage redraws a progress figure: it would only
// flood the log, so it goes to the handler alone.
bool IsProgress(std::string_view line) {
    return line.size() >= 2 && line[0] == ' ' && line[1] == ' ' &&
           line.find('%') != std::string_view::npos;
}

// The first CR or LF in [from, to), or null.
const char* LineEnd(const char* from, const char* to) {
    const char* lf =
        static_cast<const char*>(std::memchr(from, '\n', static_cast<std::size_t>(to - from)));
    const char* cr = static_cast<const char*>(
        std::memchr(from, '\r', static_cast<std::size_t>((lf ? lf : to) - from)));
    return cr ? cr : lf;
}

bool IsAscii(std::string_view bytes) {
    unsigned char any = 0;
    for (char c : bytes) any |= static_cast<unsigned char>(c);
    return any < 0x80;
}

// What Log would write for these lines: plain ASCII reads the same in every
// encoding; anything else goes through the one conversion, line by line, as
// each line may be in an encoding of its own.
void AppendLogText(std::string& out, std::string_view lines) {
    if (IsAscii(lines)) {
        out += lines;
        return;
    }
    while (!lines.empty()) {
        std::size_t end = std::min(lines.find('\n'), lines.size());
        out += Narrow(Widen(std::string(lines.substr(0, end))));
        if (end == lines.size()) break;
        out.push_back('\n');
        lines.remove_prefix(end + 1);
    }
}

// Cuts a child's output into lines at CR or LF, whatever the reads' borders,
// and logs them a read at a time. Lines ended by LF that follow each other in
// the read are copied to setup.log and the window as one piece; only the
// lines that need more (left out as progress, ended by CR, spread over
// reads) are taken one at a time.
class Lines {
  public:
    explicit Lines(const LineHandler& onLine) : onLine_(onLine) {}
    // A handler that threw still leaves the lines before it in the log.
    ~Lines() { Flush(true); }
    Lines(const Lines&) = delete;
    Lines& operator=(const Lines&) = delete;

    void Add(const char* bytes, std::size_t size) {
        const char* end = bytes + size;
        for (const char* at = bytes; at < end;) {
            const char* stop = LineEnd(at, end);
            if (!stop) {
                Hold(at, end);
                break;
            }
            if (!held_.empty() || cut_) {
                Hold(at, stop);
                EndHeld(true);
            } else if (stop > at) {  // CR LF yields an empty line, dropped like any other
                Take({at, static_cast<std::size_t>(stop - at)}, *stop == '\n');
            }
            at = stop + 1;
        }
        Flush(false);
    }

    // A last line without a line end is logged even if it looks like progress.
    void Finish() {
        if (!held_.empty() || cut_) EndHeld(false);
        Flush(true);
    }

  private:
    void Take(std::string_view line, bool lf) {
        Hand(line);
        if (IsProgress(line)) return;
        if (lf && (span_.empty() || span_.data() + span_.size() == line.data())) {
            // The line and its LF, straight after the span's last one.
            span_ = {span_.empty() ? line.data() : span_.data(), span_.size() + line.size() + 1};
            return;
        }
        Seal();
        AppendLogText(bytes_, line);
        bytes_.push_back('\n');
    }

    void Hand(std::string_view line) {
        if (!onLine_) return;
        line_.assign(line);
        onLine_(line_);
    }

    // The span joins the copied lines before anything comes after it.
    void Seal() {
        AppendLogText(bytes_, span_);
        span_ = {};
    }

    // A line that goes on past the read. Beyond kLineCap it is cut: the
    // handler and the window get it up to there, and the rest goes to
    // setup.log alone, as it arrives and as the child wrote it, so that a
    // child printing one endless line costs no more memory than the cap.
    void Hold(const char* from, const char* to) {
        std::string_view more(from, static_cast<std::size_t>(to - from));
        if (!cut_) {
            std::size_t room = kLineCap - held_.size();
            held_.append(more.substr(0, room));
            if (more.size() < room) return;
            more.remove_prefix(room);
            Hand(held_);
            Emit();
            std::string first;
            AppendLogText(first, held_);
            WriteLog(first);
            AppendText(first + '\n');
            held_.clear();
            held_.shrink_to_fit();
            cut_ = true;
        }
        if (more.empty()) return;
        Emit();
        WriteLog(more);
    }

    void EndHeld(bool mayBeProgress) {
        if (cut_) {
            Emit();
            WriteLog("\n");
        } else {
            Hand(held_);
            if (!mayBeProgress || !IsProgress(held_)) {
                Seal();
                AppendLogText(bytes_, held_);
                bytes_.push_back('\n');
            }
        }
        held_.clear();
        cut_ = false;
    }

    // The lines so far go to setup.log and join the window's block.
    void Emit() {
        std::string_view lines = span_;
        bool ascii = bytes_.empty() && IsAscii(span_);
        if (!ascii) {
            Seal();
            lines = bytes_;
        }
        WriteLog(lines);
        AppendText(lines, ascii);
        span_ = {};
        bytes_.clear();
    }

    // Lines already in UTF-8, each ended by LF.
    void AppendText(std::string_view lines, bool ascii = false) {
        if (lines.empty()) return;
        if (!text_) text_ = std::make_unique<std::wstring>();
        if (!ascii && !IsAscii(lines)) {
            *text_ += Widen(std::string(lines));
            return;
        }
        std::size_t at = text_->size();
        text_->resize(at + lines.size());
        wchar_t* out = text_->data() + at;
        for (std::size_t i = 0; i < lines.size(); ++i)
            out[i] = static_cast<wchar_t>(static_cast<unsigned char>(lines[i]));
    }

    // setup.log is written before the next read; lines the window's queue
    // doesn't take now go along with the next read's, and the last ones wait
    // for room, so that the window misses none.
    void Flush(bool last) {
        Emit();
        PostLines(text_, last);
    }

    const LineHandler& onLine_;
    std::string_view span_;  // lines of the current read, not yet copied
    std::string bytes_;      // lines copied for setup.log, in order after the span
    std::string held_;       // the start of a line that goes on past the read
    bool cut_ = false;       // the held line reached kLineCap
    std::string line_;
    std::unique_ptr<std::wstring> text_;
};

}  // namespace

namespace {

// Starts the command suspended and lets it go, unless the run was cancelled.
void Start(os::Child& child, const std::wstring& command, const fs::path& workingDir) {
    switch (child.Start(command, workingDir)) {
        case os::Started::NoPipe:
            Fail(T(L"Couldn't create a pipe."));
        case os::Started::No:
            throw NotStarted{{Say(L"Couldn't start: {}", command), {}}};
        case os::Started::Blocked:
            throw Blocked{{BlockedText(os::ProgramOf(command)), {}}};
        case os::Started::Yes:
            break;
    }
    // A cancel that came while the child was being started missed it. Left
    // alone it would run to its end (a build: half an hour) with nobody
    // waiting for it, so it ends here before it can do anything.
    if (s_cancel.load()) {
        child.End();
        child.Wait();
        Fail(kCancelled);
    }
    child.Resume();
}

}  // namespace

int Run(const std::wstring& command, const fs::path& workingDir, const LineHandler& onLine,
        Watch* watch) {
    Log(L"$ " + command);
    os::Child child;
    if (watch) child.Lower();
    Start(child, command, workingDir);
    Stall stall(std::chrono::steady_clock::now());
    Lines lines(onLine);
    std::vector<char> buffer(kReadSize);
    std::optional<std::chrono::steady_clock::time_point> ended;
    auto asked = std::chrono::steady_clock::now();
    auto counted = asked;
    bool held = false;  // the pipe outlived the grace
    for (;;) {
        std::size_t got = 0;
        os::Output output = child.Read(buffer.data(), buffer.size(), kWaitMs, got);
        if (got) lines.Add(buffer.data(), got);
        if (output == os::Output::kEnd) break;
        // A cancel ends the run at once, whoever still holds the pipe.
        if (s_cancel.load()) {
            child.End();
            break;
        }
        auto now = std::chrono::steady_clock::now();
        if (watch && now - counted >= kCountEvery) {
            std::vector<Leaf> leaves = child.Leaves();
            watch->most = std::max(watch->most, CompileCount(leaves));
            if (watch->seen) watch->seen(leaves);
            counted = now;
        }
        if (got) stall.Printed(now);
        if (watch && stall.Due(now)) stall.Used(child.CpuMs(), now);
        // Asked of the system only now and then: a flood of output is read
        // in many small reads, and asking at each doubled what a line costs.
        if (!ended && (output == os::Output::kNone || now - asked >= kAskEvery)) {
            asked = now;
            if (child.Ended()) ended = now;
        }
        if (ended && now - *ended >= kGrace) {
            held = true;
            break;
        }
    }
    lines.Finish();
    if (held) Log(L"(the command has ended; what it left running still held its output)");
    int code = child.Wait();
    if (watch) watch->signalled = child.Signalled();
    // A cancelled child's exit code says nothing about the command.
    CheckCancel();
    if (code == os::kBlockedStatus) throw Blocked{{BlockedText(os::ProgramOf(command)), {}}};
    return code;
}

std::wstring BlockedText(const fs::path& program) {
    return Say(
        L"Windows' Smart App Control (or your organisation's app control) blocked {}. Setup "
        L"can go on only once it may run: Smart App Control can't allow single programs, "
        L"only be turned off (Windows Security > App & browser control), and an "
        L"organisation's administrator can allow it.",
        PathText(program));
}

std::wstring GitCommand(const fs::path& source) {
    // Git matches the setting against the folder as it writes it itself. The
    // path's own characters, unconverted: a name need not be UTF-8 on Linux.
    fs::path generic = source.generic_string<fs::path::value_type>();
    return L"git -c core.longpaths=true -c safe.directory=" + Quote(generic) + L" ";
}

bool GitOutput(const fs::path& folder, const std::wstring& args, std::string& out) {
    out.clear();
    auto first = [&out](const std::string& line) {
        if (out.empty()) out = line;
    };
    return Run(GitCommand(folder) + L"-C " + Quote(folder) + L" " + args, folder, first) == 0;
}

}  // namespace setup
