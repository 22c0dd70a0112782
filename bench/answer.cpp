// One release answer of Get's full 8 MB, read as the tool stage reads it, so
// that bench/answer.sh can measure the memory it takes. The kinds:
//   text     the answer held, not read: the floor
//   nested   brackets nested 4 million deep
//   numbers  an array of 4 million numbers
//   objects  an array of 2.7 million empty objects
//   strings  an array of 2 million short strings
//   limit    as many small objects as the reader takes, 64 deep
#include <cstdio>
#include <cstring>
#include <string>

#include "http.h"
#include "json.h"
#include "releases.h"

namespace {

std::string Answer(const std::string& kind) {
    std::string head = "{\"assets\":[{\"browser_download_url\":\"https://x/ninja-win.zip\"},";
    std::string tail = "]}";
    std::size_t room = setup::kMaxBody - head.size() - tail.size();
    std::string body;
    body.reserve(room);
    if (kind == "nested") {
        body = std::string(room / 2, '[') + std::string(room / 2, ']');
    } else {
        const char* item = kind == "numbers"   ? "0"
                           : kind == "objects" ? "{}"
                           : kind == "limit"   ? "{\"k\":{\"v\":\"ab\"}}"
                                               : "\"ab\"";
        std::size_t count = kind == "limit" ? (setup::kMaxJsonValues - 100) / 3 : room;
        body += kind == "limit" ? std::string(60, '[') : "[";
        for (std::size_t i = 0; i < count && body.size() + std::strlen(item) + 64 < room; ++i)
            body += std::string(item) + ",";
        body.back() = ']';
        if (kind == "limit") body += std::string(59, ']');
    }
    return head + body + tail;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: answer text|nested|numbers|objects|strings|limit\n");
        return 2;
    }
    std::string text = Answer(argv[1]);
    if (std::string(argv[1]) == "text") return text.size() == setup::kMaxBody ? 0 : 1;
    setup::Listed found = setup::AssetIn(text, R"(ninja-win\.zip)");
    std::printf("%zu bytes: %s\n", text.size(), found.url.empty() ? "refused" : "read");
    return 0;
}
