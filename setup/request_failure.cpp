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
                Fail(L"GitHub refused the token in " + answer.refused +
                         L" (expired or revoked?), and its "
                         L"limit of requests from this network without one is used up until " +
                         LocalClock(answer.reset) +
                         L" (local time). Renew the token, or try again then.",
                     cause);
            Fail(L"GitHub's limit of requests from this network is used up until " +
                     LocalClock(answer.reset) +
                     L" (local time). Try again then; a GitHub token in GITHUB_TOKEN raises the "
                     L"limit (see the README).",
                 cause);
        case Trouble::kProxy:
            Fail(L"The proxy " + answer.proxy + L" didn't let Setup through to " + domain + L".",
                 cause);
        case Trouble::kSecure:
            Fail(L"A secure connection to " + domain + L" couldn't be made (" + cause +
                     L"). A security program or a company proxy may be in the way.",
                 cause);
        case Trouble::kTooLarge:
            Fail(domain + L"'s answer was larger than Setup accepts (" +
                     std::to_wstring(kMaxBody >> 20) + L" MB).",
                 cause);
        default:
            break;
    }
    if (answer.status >= 500)
        Fail(domain + L" answered with an error (" + std::to_wstring(answer.status) +
                 L"). Try again later.",
             cause);
    Fail(reach, cause);
}

}  // namespace setup
