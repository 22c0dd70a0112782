#include "request_failure.h"

#include <ctime>

namespace setup {

namespace {

std::wstring LocalClock(std::time_t when) {
    char text[8] = "";
    std::strftime(text, sizeof text, "%H:%M", std::localtime(&when));
    return Widen(text);
}

}  // namespace

void FailRequest(const Answer& answer, const std::wstring& domain, const std::wstring& reach) {
    CheckCancel();
    const std::wstring& cause = answer.cause;
    switch (answer.trouble) {
        case Trouble::kLimit:
            if (!answer.refused.empty())
                Fail(Say(L"GitHub refused the token in {} (expired or revoked?), and its limit of "
                         L"requests from this network without one is used up until {} (local "
                         L"time). Renew the token, or try again then.",
                         answer.refused, LocalClock(answer.reset)),
                     cause);
            Fail(Say(L"GitHub's limit of requests from this network is used up until {} (local "
                     L"time). Try again then; a GitHub token in GITHUB_TOKEN raises the limit "
                     L"(make one, with no scopes, at https://github.com/settings/tokens).",
                     LocalClock(answer.reset)),
                 cause);
        case Trouble::kProxy:
            Fail(Say(L"The proxy {} didn't let Setup through to {}.", answer.proxy, domain), cause);
        case Trouble::kSecure:
            Fail(Say(L"A secure connection to {} couldn't be made ({}). A security program or a "
                     L"company proxy may be in the way.",
                     domain, cause),
                 cause);
        case Trouble::kTooLarge:
            Fail(Say(L"{}'s answer was larger than Setup accepts ({} MB).", domain,
                     std::to_wstring(kMaxBody >> 20)),
                 cause);
        default:
            break;
    }
    if (answer.status >= 500)
        Fail(Say(L"{} answered with an error ({}). Try again later.", domain,
                 std::to_wstring(answer.status)),
             cause);
    Fail(reach, cause);
}

}  // namespace setup
