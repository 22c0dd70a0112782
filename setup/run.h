// What one install run carries from stage to stage.
#pragma once

#include "setup.h"

namespace setup {

struct RunState {
    const Choices& choices;
    Layout at;
    bool extracted = false;  // default.xex was there when the run began
    std::wstring message;    // the final message the stages build on success
    std::wstring update;     // what an update did to the source code; empty for a new clone
    bool fewer = false;      // the build ran short of memory and went on with fewer compiles
};

}  // namespace setup
