// Stands in for Windows' own tar.exe, which Wine lacks, in the tests' Wine
// prefix. It takes only the command line the tool stage gives,
//   tar.exe -xf ARCHIVE -C FOLDER
// and unpacks zip archives of stored (uncompressed) entries, the kind the
// tests make, keeping their folders. Exit code 0 when every entry was
// written, 1 for an archive it can't unpack, 2 for any other command line.
// An argument outside ASCII (which the real one mangles) or absolute fails.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Bad {
    const char* why;
};

std::uint32_t Crc32(const char* data, std::size_t size) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= static_cast<unsigned char>(data[i]);
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

class Archive {
  public:
    explicit Archive(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        if (!in) throw Bad{"can't open the archive"};
        bytes_.assign(std::istreambuf_iterator<char>(in), {});
    }

    // Little-endian field of `size` bytes at `at`; the archive must hold it.
    std::uint32_t Field(std::size_t at, int size) const {
        Need(at, static_cast<std::size_t>(size));
        std::uint32_t value = 0;
        for (int i = size - 1; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(bytes_[at + i]);
        return value;
    }

    std::string Text(std::size_t at, std::size_t size) const {
        Need(at, size);
        return bytes_.substr(at, size);
    }

    bool Signature(std::size_t at, std::uint32_t want) const {
        return at + 4 <= bytes_.size() && Field(at, 4) == want;
    }

    // The end-of-central-directory record: searched backwards, since a
    // comment of up to 64 KiB may follow it.
    std::size_t End() const {
        if (bytes_.size() < 22) throw Bad{"not a zip archive"};
        std::size_t last = bytes_.size() - 22;
        std::size_t first = last > 0xFFFF ? last - 0xFFFF : 0;
        for (std::size_t at = last + 1; at-- > first;)
            if (Signature(at, 0x06054b50)) return at;
        throw Bad{"not a zip archive"};
    }

  private:
    void Need(std::size_t at, std::size_t size) const {
        if (at > bytes_.size() || size > bytes_.size() - at) throw Bad{"the archive is cut short"};
    }

    std::string bytes_;
};

// An entry's name as a relative path below the folder; names that would
// leave it are refused.
fs::path Below(const std::string& name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\' || name.find(':') != std::string::npos)
        throw Bad{"an entry's name leaves the folder"};
    fs::path relative(std::u8string(name.begin(), name.end()));
    for (const fs::path& part : relative)
        if (part == "..") throw Bad{"an entry's name leaves the folder"};
    return relative;
}

void Write(const fs::path& file, const std::string& data) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    if (!out.flush()) throw Bad{"can't write a file"};
}

void Unpack(const fs::path& file, const fs::path& folder) {
    // Like the real one, it unpacks into a folder that is already there.
    if (!fs::is_directory(folder)) throw Bad{"no such folder"};
    Archive zip(file);
    std::size_t end = zip.End();
    std::size_t count = zip.Field(end + 10, 2);
    std::size_t at = zip.Field(end + 16, 4);
    for (std::size_t i = 0; i < count; ++i) {
        if (!zip.Signature(at, 0x02014b50)) throw Bad{"a damaged central directory"};
        std::uint32_t method = zip.Field(at + 10, 2), crc = zip.Field(at + 16, 4);
        std::size_t packed = zip.Field(at + 20, 4), size = zip.Field(at + 24, 4);
        std::size_t nameSize = zip.Field(at + 28, 2);
        std::size_t skip = zip.Field(at + 30, 2) + zip.Field(at + 32, 2);
        std::size_t local = zip.Field(at + 42, 4);
        std::string name = zip.Text(at + 46, nameSize);
        at += 46 + nameSize + skip;

        fs::path target = folder / Below(name);
        if (name.back() == '/') {
            fs::create_directories(target);
            continue;
        }
        if (method != 0 || packed != size)
            throw Bad{"a compressed entry (only stored ones are read)"};
        if (!zip.Signature(local, 0x04034b50)) throw Bad{"a damaged entry"};
        std::size_t data = local + 30 + zip.Field(local + 26, 2) + zip.Field(local + 28, 2);
        std::string bytes = zip.Text(data, size);
        if (Crc32(bytes.data(), bytes.size()) != crc) throw Bad{"an entry's checksum is wrong"};
        Write(target, bytes);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 5 || std::wstring(argv[1]) != L"-xf" || std::wstring(argv[3]) != L"-C") {
        std::fputs("usage: tar -xf ARCHIVE -C FOLDER\n", stderr);
        return 2;
    }
    for (std::wstring arg : {argv[2], argv[4]})
        if (fs::path(arg).is_absolute() ||
            std::any_of(arg.begin(), arg.end(), [](wchar_t c) { return c > 0x7F; }))
            return std::fprintf(stderr, "tar: %ls: a mangled or absolute name\n", arg.c_str()), 1;
    try {
        Unpack(argv[2], argv[4]);
    } catch (const Bad& bad) {
        std::fprintf(stderr, "tar: %s\n", bad.why);
        return 1;
    } catch (const fs::filesystem_error& error) {
        std::fprintf(stderr, "tar: %s\n", error.what());
        return 1;
    }
    return 0;
}
