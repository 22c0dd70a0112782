// The floor of every reader of a child's output: the same pipe, read in the
// same blocks as Run reads it, and nothing done with what arrives.
#pragma once

#include <string>
#include <vector>

#include "child.h"

namespace setup {

inline int ReadOnly(const std::wstring& command) {
    os::Child child;
    if (child.Start(command, {}) != os::Started::Yes) return 1;
    child.Resume();
    std::vector<char> buffer(64 * 1024);
    std::size_t got = 0;
    while (child.Read(buffer.data(), buffer.size(), 50, got) != os::Output::kEnd) {
    }
    return child.Wait();
}

}  // namespace setup
