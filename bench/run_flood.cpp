// Runs the flood child through Run as the build stage does: a handler that
// counts the lines, setup.log open, and a receiver draining the window's
// messages on another thread, as the console front end does. The mode takes
// parts away to show what each costs: "all", "file" (no receiver), "none"
// (no setup.log and no receiver); "build" is "all" with the build stage's
// own output handler instead of a counting one; "read" reads the pipe and
// does nothing else, the floor any reader of a pipe starts from.
//   run_flood MODE LOGFOLDER FLOOD ARGS...
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "build.h"
#include "child.h"
#include "mailbox.h"
#include "read_only.h"
#include "setup.h"

using namespace setup;

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    std::string mode = argv[1];
    Mailbox box;
    if (mode == "all" || mode == "build") s_window = &box;
    std::atomic<bool> done{false};
    long received = 0, lines = 0;
    std::thread receiver([&] {
        for (;;) {
            auto m = box.Pop(std::chrono::milliseconds(50));
            if (!m) {
                if (done.load()) return;
                continue;
            }
            ++received;
            if (m->msg == kMsgProgress) continue;
            auto text = TakeText(m->lParam);
            if (m->msg == kMsgLog) lines += std::count(text->begin(), text->end(), L'\n');
        }
    });

    if (mode != "none" && mode != "read") OpenLog(argv[2]);
    long handled = 0;
    std::wstring command = Quote(argv[3]);
    for (int i = 4; i < argc; ++i) command += L" " + Quote(argv[i]);
    BuildOutput progress;
    BuildLines build(progress);  // the build stage's own handler, as Build hands it to Run
    LineHandler count = [&handled](const std::string&) { ++handled; };
    LineHandler both = [&](const std::string& line) {
        ++handled;
        build(line);
    };
    int code =
        mode == "read" ? ReadOnly(command) : Run(command, {}, mode == "build" ? both : count);
    CloseLog();
    box.Close();
    done = true;
    receiver.join();
    s_window = nullptr;
    long logged = 0;
    if (mode != "none" && mode != "read") {
        std::ifstream log(fs::path(argv[2]) / "setup.log", std::ios::binary);
        logged = std::count(std::istreambuf_iterator<char>(log), {}, '\n');
    }
    std::fprintf(stderr,
                 "%s: exit code %d, %ld lines handled, %ld in setup.log, %ld messages received "
                 "holding %ld log lines\n",
                 mode.c_str(), code, handled, logged, received, lines);
    return code;
}
