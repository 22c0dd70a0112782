// The source code stage run as a run runs it, over a test's own install, for
// the tests of what it makes git do. The project's repository is the
// deriving test's: it points the --github base at it in SetUp.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "inbox.h"
#include "source_code.h"
#include "temp.h"
#include "urls.h"

namespace setup::test {

inline bool Has(const std::vector<std::wstring>& lines, const std::wstring& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

inline bool HasPrefix(const std::vector<std::wstring>& lines, const std::wstring& prefix) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::wstring& l) { return l.rfind(prefix, 0) == 0; });
}

class SourceStage : public ::testing::Test {
  protected:
    void SetUp() override {
        urls::SetGithubApi(L"http://127.0.0.1:9");  // nothing listens: offline
        std::filesystem::create_directories(install);
        s_cancel = false;
    }
    void TearDown() override {
        urls::SetGithub(L"https://github.com");
        urls::SetGithubApi(L"https://api.github.com");
    }

    // Runs the stage; returns its log lines and leaves any failure in `error`.
    std::vector<std::wstring> Stage() {
        Inbox inbox;
        error = FailureOf([&] { SourceCode(install, source); });
        return Texts(inbox.Drain(), kMsgLog);
    }

    // The log line of a git command the stage runs in the source folder.
    std::wstring Git(const std::wstring& args) const {
        return L"$ git -C " + Quote(source) + L" " + args;
    }

    TempDir dir;
    std::filesystem::path install = dir / "install";
    std::filesystem::path source = install / "corvane-recomp";
    std::wstring error;
};

}  // namespace setup::test
