#include "part.h"

#include <fstream>
#include <sstream>
#include <vector>

#include "os.h"
#include "releases.h"

namespace setup {

namespace {

fs::path RecordOf(const fs::path& part) {
    fs::path record = part;
    record += ".info";
    return record;
}

}  // namespace

fs::path PartOf(const fs::path& archive) {
    fs::path part = archive;
    part += ".part";
    return part;
}

Kept KeptFor(const fs::path& part, const std::wstring& url) {
    // A record is three short lines: only so much of the file is read,
    // whatever it holds.
    std::ifstream file(RecordOf(part), std::ios::binary);
    std::string head(kRecordCap, '\0');
    file.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(file.gcount()));
    std::istringstream in(head);
    std::string address, length, validator;
    if (!std::getline(in, address) || !std::getline(in, length) || !std::getline(in, validator) ||
        in.eof())
        return {};
    std::error_code ec;
    std::uint64_t size = fs::file_size(part, ec);
    Kept kept;
    kept.length = std::strtoull(length.c_str(), nullptr, 10);
    if (ec || address != Narrow(url) || validator.empty() || size == 0 || size >= kept.length)
        return {};
    kept.size = size;
    kept.validator = validator;
    return kept;
}

void Record(const fs::path& part, const std::wstring& url, std::uint64_t length,
            const std::string& validator) {
    if (!length || validator.empty() || validator.find('\n') != std::string::npos) {
        DropRecord(part);
        return;
    }
    std::ofstream(RecordOf(part), std::ios::binary | std::ios::trunc) << Narrow(url) << '\n'
                                                                      << length << '\n'
                                                                      << validator << '\n';
}

void DropRecord(const fs::path& part) {
    os::Delete(RecordOf(part));
}

namespace {

constexpr char kVerified[] = "verified";

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (char c : bytes) {
        hex += digits[static_cast<unsigned char>(c) >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

// The file's digest, read at the disk's pace; empty when it can't be read.
std::string DigestOfFile(const fs::path& path, Hash hash) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    Hasher hasher(hash);
    std::vector<char> chunk(1 << 20);
    while (in) {
        CheckCancel();
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        hasher.Add(chunk.data(), static_cast<std::size_t>(in.gcount()));
    }
    return in.bad() ? std::string() : hasher.Finish();
}

}  // namespace

void MarkVerified(const fs::path& archive, Hash hash, const std::string& digest) {
    std::error_code ec;
    std::uint64_t size = fs::file_size(archive, ec);
    if (ec || digest.empty()) return;
    std::ofstream(RecordOf(archive), std::ios::binary | std::ios::trunc)
        << kVerified << '\n'
        << size << '\n'
        << (hash == Hash::kSha512 ? "sha512:" : "sha256:") << Hex(digest) << '\n';
}

Keep Recheck(const fs::path& archive) {
    std::ifstream file(RecordOf(archive), std::ios::binary);
    std::string word, size, digest;
    if (!std::getline(file, word) || word != kVerified) return Keep::kNone;
    std::getline(file, size);
    std::getline(file, digest);
    std::error_code ec;
    std::uint64_t real = fs::file_size(archive, ec);
    Published recorded = DigestOf(digest);
    if (ec || size != std::to_string(real) || recorded.hash == Hash::kNone) return Keep::kChanged;
    return DigestOfFile(archive, recorded.hash) == recorded.digest ? Keep::kWhole : Keep::kChanged;
}

void DropArchive(const fs::path& archive) {
    os::Delete(archive);
    DropRecord(archive);
}

void DropPart(const fs::path& part) {
    os::Delete(part);
    DropRecord(part);
}

}  // namespace setup
