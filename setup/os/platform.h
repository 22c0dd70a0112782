// The one place where the two platforms differ in a declaration: what the
// worker's messages are posted to. Everything else platform-specific lives in
// the *_win.cpp and *_posix.cpp files of setup/os/ behind functions declared
// in setup.h.
#pragma once

#include <memory>

#ifdef _WIN32
struct HWND__;
namespace setup {
using Receiver = HWND__*;  // the setup window
}
#else
namespace setup {
class Mailbox;
using Receiver = Mailbox*;  // the console front end's message queue
}  // namespace setup
#endif

namespace setup {
extern Receiver s_window;
}
