// A download cut short (a cancel, a crash, its last failed attempt) keeps its
// part as <archive>.part and a record beside it, <archive>.part.info: the URL,
// the whole length and the answer's validator. A later run that chooses the
// same URL asks only for the rest.
#pragma once

#include <cstdint>
#include <string>

#include "http.h"
#include "setup.h"

namespace setup {

fs::path PartOf(const fs::path& archive);

// The most of a record that is read: a URL, a length and a validator.
constexpr std::size_t kRecordCap = 8192;

// What the part beside the record holds, when the record is for url and the
// part is shorter than the whole; otherwise nothing kept (size 0).
Kept KeptFor(const fs::path& part, const std::wstring& url);

// Writes the part's record; without a length or a validator there is nothing
// a later run could resume, and the record is removed instead.
void Record(const fs::path& part, const std::wstring& url, std::uint64_t length,
            const std::string& validator);

void DropRecord(const fs::path& part);

// The archive's record that it was downloaded whole and verified, with its
// size and digest: until it is unpacked, a later run unpacks it instead of
// downloading it again.
void MarkVerified(const fs::path& archive, Hash hash, const std::string& digest);
// What a kept archive is to its record: none kept, the very bytes that were
// verified (its digest read again), or changed since (damaged, replaced,
// gone, or a record from before records held a digest).
enum class Keep { kNone, kWhole, kChanged };
Keep Recheck(const fs::path& archive);
// The archive and its record.
void DropArchive(const fs::path& archive);
// The part and its record.
void DropPart(const fs::path& part);

}  // namespace setup
