// Run's shared half: starting and cancel rules, cutting the output into lines,
// the handler calls and the log. The platform calls are behind os::Child.
#include <cstring>
#include <vector>

#include "child.h"
#include "setup.h"

namespace setup {

namespace {

// A flood of output is taken in large reads, and each read's lines go to
// setup.log in one write and to the window in one message.
constexpr std::size_t kReadSize = 64 * 1024;

// An indented line with a percentage redraws a progress figure: it would only
// flood the log, so it goes to the handler alone.
bool IsProgress(const std::string& line) {
    return line.size() >= 2 && line[0] == ' ' && line[1] == ' ' &&
           line.find('%') != std::string::npos;
}

// The first CR or LF in [from, to), or null.
const char* LineEnd(const char* from, const char* to) {
    const char* lf =
        static_cast<const char*>(std::memchr(from, '\n', static_cast<std::size_t>(to - from)));
    const char* cr = static_cast<const char*>(
        std::memchr(from, '\r', static_cast<std::size_t>((lf ? lf : to) - from)));
    return cr ? cr : lf;
}

bool IsAscii(const std::string& line) {
    unsigned char any = 0;
    for (char c : line) any |= static_cast<unsigned char>(c);
    return any < 0x80;
}

// Cuts a child's output into lines at CR or LF, whatever the reads' borders,
// and logs them a read at a time.
class Lines {
  public:
    explicit Lines(const LineHandler& onLine) : onLine_(onLine) {}
    // A handler that threw still leaves the lines before it in the log.
    ~Lines() {
        WriteLog(bytes_);
        PostLines(text_);
    }
    Lines(const Lines&) = delete;
    Lines& operator=(const Lines&) = delete;

    void Add(const char* bytes, std::size_t size) {
        const char* end = bytes + size;
        if (!text_) {
            text_ = std::make_unique<std::wstring>();
            text_->reserve(size + pending_.size());
        }
        for (const char* at = bytes; at < end;) {
            const char* stop = LineEnd(at, end);
            if (!stop) {
                pending_.append(at, static_cast<std::size_t>(end - at));
                break;
            }
            // CR LF yields an empty line, which is dropped like any other.
            if (!pending_.empty()) {
                pending_.append(at, static_cast<std::size_t>(stop - at));
                Take(pending_, IsProgress(pending_));
                pending_.clear();
            } else if (stop > at) {
                line_.assign(at, static_cast<std::size_t>(stop - at));
                Take(line_, IsProgress(line_));
            }
            at = stop + 1;
        }
        Flush(false);
    }

    // A last line without a line end is logged even if it looks like progress.
    void Finish() {
        if (!pending_.empty()) Take(pending_, false);
        pending_.clear();
        Flush(true);
    }

  private:
    void Take(const std::string& line, bool progress) {
        if (onLine_) onLine_(line);
        if (progress) return;
        if (!text_) text_ = std::make_unique<std::wstring>();
        // Plain ASCII reads the same in every encoding; anything else goes
        // through the one conversion, and the log gets what Log would write.
        if (IsAscii(line)) {
            std::size_t at = text_->size();
            text_->resize(at + line.size());
            wchar_t* out = text_->data() + at;
            const char* in = line.data();
            for (std::size_t i = 0, n = line.size(); i < n; ++i) out[i] = in[i];
            bytes_ += line;
        } else {
            std::wstring wide = Widen(line);
            *text_ += wide;
            bytes_ += Narrow(wide);
        }
        text_->push_back(L'\n');
        bytes_.push_back('\n');
    }

    // setup.log is written before the next read; lines the window's queue
    // refuses now go along with the next read's, and the last ones wait for
    // room, so that the window misses none.
    void Flush(bool last) {
        WriteLog(bytes_);
        bytes_.clear();
        PostLines(text_, last);
    }

    const LineHandler& onLine_;
    std::string pending_;
    std::string line_;
    std::string bytes_;
    std::unique_ptr<std::wstring> text_;
};

}  // namespace

int Run(const std::wstring& command, const fs::path& workingDir, const LineHandler& onLine) {
    Log(L"$ " + command);
    os::Child child;
    switch (child.Start(command, workingDir)) {
        case os::Started::NoPipe:
            Fail(L"Couldn't create a pipe.");
        case os::Started::No:
            throw NotStarted{{L"Couldn't start: " + command, {}}};
        case os::Started::Yes:
            break;
    }
    // A cancel that came while the child was being started missed it. Left
    // alone it would run to its end (a build: half an hour) with nobody
    // waiting for it, so it ends here before it can do anything.
    if (s_cancel.load()) {
        child.End();
        child.Wait();
        Fail(L"Cancelled.");
    }
    child.Resume();

    Lines lines(onLine);
    std::vector<char> buffer(kReadSize);
    while (std::size_t got = child.Read(buffer.data(), buffer.size()))
        lines.Add(buffer.data(), got);
    lines.Finish();
    int code = child.Wait();
    // A cancelled child's exit code says nothing about the command.
    CheckCancel();
    return code;
}

bool GitOutput(const fs::path& folder, const std::wstring& args, std::string& out) {
    out.clear();
    auto first = [&out](const std::string& line) {
        if (out.empty()) out = line;
    };
    return Run(L"git -C " + Quote(folder) + L" " + args, folder, first) == 0;
}

}  // namespace setup
