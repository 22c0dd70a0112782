// Any answer GitHub's or NuGet's address may send, read as the tool stage
// reads it.
#include <cstddef>
#include <cstdint>
#include <regex>
#include <string>

#include "releases.h"
#include "scan.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    setup::AssetIn(text, R"(cmake-[0-9.]+-windows-x86_64\.zip)");
    setup::Python312In(text);
    static const std::regex tag(R"re("tag_name"\s*:\s*"([^"]*)")re");
    setup::ScanFirst(text, "\"tag_name\"", tag);
    return 0;
}
