#include "part.h"

#include <fstream>
#include <sstream>

#include "os.h"

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
}  // namespace

void MarkVerified(const fs::path& archive) {
    std::error_code ec;
    std::uint64_t size = fs::file_size(archive, ec);
    if (ec) return;
    std::ofstream(RecordOf(archive), std::ios::binary | std::ios::trunc) << kVerified << '\n'
                                                                         << size << '\n';
}

bool Verified(const fs::path& archive) {
    std::ifstream file(RecordOf(archive), std::ios::binary);
    std::string word, size;
    if (!std::getline(file, word) || !std::getline(file, size) || word != kVerified) return false;
    std::error_code ec;
    std::uint64_t real = fs::file_size(archive, ec);
    return !ec && size == std::to_string(real);
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
