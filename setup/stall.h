// A build that has printed nothing and whose processes have used no
// processor time for a while may be stuck: the status says so, and
// setup.log notes it, until it moves again. A long compile that keeps a core
// busy prints nothing for minutes, and is no stall.
#pragma once

#include <chrono>
#include <string>

#include "language.h"

namespace setup {

inline constexpr const wchar_t* kStallNote =
    T(L"The build has printed nothing and used no processor time for 5 minutes; it may be stuck. "
      L"Cancel and run Setup again if it stays so.");

// How long a build may stay silent and idle; tests shorten it.
extern std::chrono::milliseconds s_stallAfter;

class Stall {
  public:
    using Clock = std::chrono::steady_clock;

    explicit Stall(Clock::time_point now) : moved_(now), asked_(now) {}
    // Output came.
    void Printed(Clock::time_point now);
    // Whether it is time to ask for the processor time again.
    bool Due(Clock::time_point now) const;
    // The processor time the build's processes have used so far, in
    // milliseconds; -1 when the system can't tell, which never notes a stall.
    void Used(long long cpuMs, Clock::time_point now);

  private:
    void Moved(Clock::time_point now);

    Clock::time_point moved_;  // when output or processor time last came
    Clock::time_point asked_;
    long long cpu_ = -1;
    bool noted_ = false;
    std::wstring before_;  // the status the note stands in for
};

}  // namespace setup
