#include "os.h"

namespace setup::os {

// git reads http_proxy, https_proxy and no_proxy as libcurl does for the
// downloads: nothing to hand over.
std::wstring ProxyFor(const std::wstring&) {
    return {};
}

}  // namespace setup::os
