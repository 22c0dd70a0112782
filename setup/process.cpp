// Run's shared half: starting and cancel rules, cutting the output into lines,
// the handler calls and the log. The platform calls are behind os::Child.
#include "child.h"
#include "setup.h"

namespace setup {

namespace {

constexpr std::size_t kReadSize = 4096;

// An indented line with a percentage redraws a progress figure: it would only
// flood the log, so it goes to the handler alone.
bool IsProgress(const std::string& line) {
    return line.size() >= 2 && line[0] == ' ' && line[1] == ' ' &&
           line.find('%') != std::string::npos;
}

bool IsLineEnd(char c) {
    return c == '\n' || c == '\r';
}

// Cuts a child's output into lines at CR or LF, whatever the reads' borders.
class Lines {
  public:
    explicit Lines(const LineHandler& onLine) : onLine_(onLine) {}

    void Add(const char* bytes, std::size_t size) {
        pending_.append(bytes, size);
        std::size_t start = 0;
        for (std::size_t i = pending_.size() - size; i < pending_.size(); ++i) {
            if (!IsLineEnd(pending_[i])) continue;
            // CR LF yields an empty line, which is dropped like any other.
            if (i > start) {
                line_.assign(pending_, start, i - start);
                Take(line_, IsProgress(line_));
            }
            start = i + 1;
        }
        pending_.erase(0, start);
    }

    // A last line without a line end is logged even if it looks like progress.
    void Finish() {
        if (!pending_.empty()) Take(pending_, false);
        pending_.clear();
    }

  private:
    void Take(const std::string& line, bool progress) {
        if (onLine_) onLine_(line);
        if (!progress) Log(Widen(line));
    }

    const LineHandler& onLine_;
    std::string pending_;
    std::string line_;
};

}  // namespace

int Run(const std::wstring& command, const fs::path& workingDir, const LineHandler& onLine) {
    Log(L"$ " + command);
    os::Child child;
    switch (child.Start(command, workingDir)) {
        case os::Started::NoPipe:
            Fail(L"Couldn't create a pipe.");
        case os::Started::No:
            throw NotStarted{{L"Couldn't start: " + command}};
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
    char buffer[kReadSize];
    while (std::size_t got = child.Read(buffer, sizeof buffer)) lines.Add(buffer, got);
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
