#include "acquire.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <locale>
#include <mutex>
#include <thread>
#include <vector>

#include "download_line.h"
#include "http.h"
#include "os.h"
#include "source_code.h"
#include "tools.h"

namespace setup {

namespace {

const wchar_t* const kSummary = T(L"Getting the build tools and the source code");

// Two downloads at a time: a third gains little on one line, and each one
// more is one more to stop and resume when another fails.
constexpr int kWidth = 2;
constexpr int kMostWide = 3;
// The status line changes at most this often between whole percents.
constexpr auto kRedraw = std::chrono::milliseconds(250);

// One status line and one bar for all the downloads, weighted by bytes.
class Meter {
  public:
    std::size_t Add(std::uint64_t size, const std::wstring& name) {
        std::lock_guard<std::mutex> hold(lock_);
        return all_.Add(size, name);
    }

    Progress For(std::size_t job) {
        return [this, job](std::uint64_t received, std::uint64_t length) {
            std::lock_guard<std::mutex> hold(lock_);
            auto now = DownloadLine::Clock::now();
            std::wstring figures;
            Show(all_.Update(job, received, length, now, figures), figures, now, false);
        };
    }

    std::function<void()> RetryOf(std::size_t job) {
        return [this, job] {
            std::lock_guard<std::mutex> hold(lock_);
            auto now = DownloadLine::Clock::now();
            std::wstring figures;
            Show(all_.Retrying(job, now, figures), figures, now, true);
        };
    }

  private:
    void Show(int percent, const std::wstring& figures, DownloadLine::Clock::time_point now,
              bool news) {
        if (!news && percent == percent_ && now - shown_ < kRedraw) return;
        percent_ = percent;
        shown_ = now;
        PostProgress(percent);
        PostText(kMsgStatus, Say(L"{}: {}", kSummary, figures), kDownloadProgress);
    }

    std::mutex lock_;
    Downloads all_;
    int percent_ = -2;
    DownloadLine::Clock::time_point shown_{};
};

// The jobs' threads and their one outcome: the first real failure stops the
// others as a cancel does, and what they stopped with is only its echo.
class Crew {
  public:
    Crew() = default;
    Crew(const Crew&) = delete;
    Crew& operator=(const Crew&) = delete;
    // No thread outlives the stage, whichever way it ends.
    ~Crew() { Wait(); }

    template <class Job>
    void Start(Job job) {
        std::lock_guard<std::mutex> hold(lock_);
        threads_.emplace_back([this, job] { Guard(job); });
    }

    // Runs a job, taking its failure as the crew's.
    template <class Job>
    void Guard(const Job& job) {
        try {
            job();
        } catch (...) {
            Stop(std::current_exception());
        }
    }

    bool Stopped() {
        std::lock_guard<std::mutex> hold(lock_);
        return stopped_;
    }

    // Waits for every job, then ends the stage as the first failure did.
    void Finish() {
        Wait();
        if (!first_) return CheckCancel();
        // The cancel was the crew's own, not the user's: it has done its work.
        s_cancel.store(false);
        std::rethrow_exception(first_);
    }

  private:
    void Stop(std::exception_ptr error) {
        {
            std::lock_guard<std::mutex> hold(lock_);
            if (stopped_) return;
            stopped_ = true;
            // After the user's cancel, every failure is its echo.
            if (!s_cancel.load()) first_ = error;
        }
        Cancel();
    }

    // Joins the jobs, and those they started meanwhile.
    void Wait() {
        for (;;) {
            std::thread next;
            {
                std::lock_guard<std::mutex> hold(lock_);
                if (threads_.empty()) return;
                next = std::move(threads_.back());
                threads_.pop_back();
            }
            next.join();
        }
    }

    std::mutex lock_;
    std::vector<std::thread> threads_;
    std::exception_ptr first_;
    bool stopped_ = false;
};

struct Wanted {
    const Tool* tool;
    Asset asset;
    std::size_t job = 0;
    fs::path kept;  // verified by an earlier run: no lookup, no download
};

// std::regex's scanner fills the locale's table of narrowed characters
// lazily, one entry at a time, from whichever thread compiles a pattern: the
// lookups and the source job compile theirs side by side. Asking for a whole
// range fills the table at once, before they start.
void FillNarrowTable() {
    char all[256], narrowed[256];
    for (int i = 0; i < 256; ++i) all[i] = static_cast<char>(i);
    std::use_facet<std::ctype<char>>(std::locale()).narrow(all, all + 256, '?', narrowed);
}

bool IsGit(const Tool& tool) {
    return tool.name == L"Git";
}

// The side-by-side work of one run.
class Side {
  public:
    Side(const fs::path& installDir, const fs::path& sourceDir, const fs::path& tools)
        : installDir_(installDir), sourceDir_(sourceDir), tools_(tools) {}

    std::wstring Run(const std::vector<const Tool*>& missing, int width) {
        bool gitThere = std::none_of(missing.begin(), missing.end(),
                                     [](const Tool* tool) { return IsGit(*tool); });
        FillNarrowTable();
        if (gitThere) StartSource();
        Look(missing);
        if (!crew_.Stopped()) {
            for (Wanted& each : wanted_) each.job = meter_.Add(each.asset.size, each.tool->name);
            for (int i = 0; i < width; ++i) crew_.Start([this] { Download(); });
        }
        crew_.Finish();
        return update_;
    }

  private:
    void StartSource() {
        crew_.Start([this] { update_ = SourceCode(installDir_, sourceDir_, true); });
    }

    // The release lookups at once; then the largest download first.
    void Look(const std::vector<const Tool*>& missing) {
        wanted_.resize(missing.size());
        {
            std::vector<std::jthread> lookups;
            for (std::size_t i = 0; i < missing.size(); ++i)
                lookups.emplace_back([this, &missing, i] {
                    crew_.Guard([&] {
                        wanted_[i] = {missing[i], {}, 0, VerifiedArchive(*missing[i], tools_)};
                        if (wanted_[i].kept.empty()) wanted_[i].asset = missing[i]->source();
                    });
                });
        }
        // An archive already here is unpacked at once.
        std::stable_sort(wanted_.begin(), wanted_.end(), [](const Wanted& a, const Wanted& b) {
            return a.kept.empty() != b.kept.empty() ? b.kept.empty() : a.asset.size > b.asset.size;
        });
    }

    // One of the download slots: takes the next download, hands its archive
    // to an unpack of its own, and goes on with the next.
    void Download() {
        for (;;) {
            CheckCancel();
            std::size_t next = next_.fetch_add(1);
            if (next >= wanted_.size()) return;
            const Wanted& fetch = wanted_[next];
            fs::path archive = !fetch.kept.empty()
                                   ? fetch.kept
                                   : DownloadTool(*fetch.tool, tools_, fetch.asset,
                                                  meter_.For(fetch.job), meter_.RetryOf(fetch.job));
            crew_.Start([this, tool = fetch.tool, archive] {
                Place(*tool, archive, true);
                if (IsGit(*tool)) StartSource();
            });
        }
    }

    fs::path installDir_, sourceDir_, tools_;
    std::vector<Wanted> wanted_;
    std::atomic<std::size_t> next_{0};
    std::wstring update_;
    Meter meter_;
    Crew crew_;  // last: its threads end before what they use goes
};

}  // namespace

int DownloadWidth() {
    std::wstring value = os::GetEnv(L"CORVANE_SETUP_DOWNLOADS");
    if (value.empty()) return kWidth;
    if (value.size() == 1 && value[0] >= L'0' && value[0] - L'0' <= kMostWide)
        return value[0] - L'0';
    Log(L"CORVANE_SETUP_DOWNLOADS is " + value + L", not a number from 0 to " +
        std::to_wstring(kMostWide) + L": " + std::to_wstring(kWidth) + L" downloads at a time.");
    return kWidth;
}

std::wstring Acquire(const fs::path& installDir, const fs::path& sourceDir) {
    const std::vector<Tool>& table = ToolTable();
    int width = DownloadWidth();
    fs::path tools = LayoutOf(installDir).tools;
    auto missing = std::count_if(table.begin(), table.end(),
                                 [&](const Tool& tool) { return Missing(tool, tools); });
    // With one download or none there is nothing to overlap but the clone,
    // and the stages keep their order.
    if (width == 0 || missing < 2) {
        Tools(installDir, table);
        return SourceCode(installDir, sourceDir);
    }
    MakeToolsFolder(installDir);
    // Set before any job starts a child: SourceCode sets it again, the same.
    os::SetEnv(L"GIT_TERMINAL_PROMPT", L"0");
    std::vector<const Tool*> downloads;
    for (const Tool& tool : table)
        if (!Settled(tool, tools)) downloads.push_back(&tool);
    Status(kSummary);
    PostProgress(-1);
    return Side(installDir, sourceDir, tools).Run(downloads, width);
}

}  // namespace setup
