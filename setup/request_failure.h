// The message for a request that failed, said by what happened: the
// connection, the server, a proxy, the secure connection, the size of the
// answer or GitHub's rate limit.
#pragma once

#include <string>

#include "http.h"

namespace setup {

// Ends the run: "Cancelled." for a cancel, otherwise the message for what
// happened, with the last attempt's reason as its cause. domain names the
// server; reach is the message for a failure of the connection itself.
[[noreturn]] void FailRequest(const Answer& answer, const std::wstring& domain,
                              const std::wstring& reach);

}  // namespace setup
