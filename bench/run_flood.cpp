// Runs the flood child through Run as the build stage does: a handler that
// counts the lines, setup.log open, and a receiver draining the window's
// messages on another thread, as the console front end does. The mode takes
// parts away to show what each costs: "all", "file" (no receiver), "none"
// (no setup.log and no receiver); "build" is "all" with the build stage's
// own output handler instead of a counting one.
//   run_flood MODE LOGFOLDER FLOOD ARGS...
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "build.h"
#include "mailbox.h"
#include "setup.h"

using namespace setup;

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    std::string mode = argv[1];
    Mailbox box;
    if (mode == "all" || mode == "build") s_window = &box;
    std::atomic<bool> done{false};
    long received = 0;
    std::thread receiver([&] {
        for (;;) {
            auto m = box.Pop(std::chrono::milliseconds(50));
            if (!m) {
                if (done.load()) return;
                continue;
            }
            if (m->msg != kMsgProgress) TakeText(m->lParam);
            ++received;
        }
    });

    if (mode != "none") OpenLog(argv[2]);
    long handled = 0;
    std::wstring command = Quote(argv[3]);
    for (int i = 4; i < argc; ++i) command += L" " + Quote(argv[i]);
    BuildOutput build;
    LineHandler count = [&handled](const std::string&) { ++handled; };
    LineHandler both = [&](const std::string& line) {
        ++handled;
        build(line);
    };
    int code = Run(command, {}, mode == "build" ? both : count);
    CloseLog();
    box.Close();
    done = true;
    receiver.join();
    s_window = nullptr;
    std::fprintf(stderr, "%s: exit code %d, %ld lines handled, %ld messages received\n",
                 mode.c_str(), code, handled, received);
    return code;
}
