// The user's desktop for one test: on Linux a private home folder, on Windows
// the test prefix's own desktop, held by one test at a time across processes.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace setup::test {

// What a shortcut on the desktop says.
struct Link {
    std::filesystem::path target;
    std::filesystem::path workingDir;
    std::wstring description;
};

class Desktop {
  public:
    Desktop();
    ~Desktop();
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    // Where the setup program's shortcut lands.
    std::filesystem::path Shortcut() const;
    // The shortcut read back through the platform's own reader; none when absent.
    std::optional<Link> Read() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace setup::test
