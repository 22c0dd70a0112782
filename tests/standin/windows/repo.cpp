#include "repo.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace standin {

namespace {

void Write(const fs::path& file, const std::string& line) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << line << "\n";
}

std::string Bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

std::string Read(const fs::path& file) {
    std::string text = Bytes(file);
    return text.substr(0, text.find_first_of("\r\n"));
}

bool SameFile(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    return fs::is_regular_file(a, ec) && fs::is_regular_file(b, ec) && Bytes(a) == Bytes(b);
}

std::string Short(const std::string& id) {
    return id.substr(0, 7);
}

bool Repo::Valid() const {
    std::error_code ec;
    return fs::is_directory(dir_ / "refs", ec) && fs::is_regular_file(dir_ / "HEAD", ec);
}

std::optional<std::string> Repo::Ref(const std::string& name) const {
    std::error_code ec;
    fs::path file = dir_ / fs::path(name);
    if (!fs::is_regular_file(file, ec)) return std::nullopt;
    return Read(file);
}

void Repo::SetRef(const std::string& name, const std::string& id) const {
    Write(dir_ / fs::path(name), id);
}

std::vector<std::string> Repo::Refs(const std::string& prefix) const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir_ / fs::path(prefix), ec))
        if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Repo::Head() const {
    return Read(dir_ / "HEAD");
}

void Repo::SetHead(const std::string& head) const {
    Write(dir_ / "HEAD", head);
}

std::optional<std::string> Repo::Branch() const {
    const std::string prefix = "ref: refs/heads/";
    std::string head = Head();
    if (head.rfind(prefix, 0) != 0) return std::nullopt;
    return head.substr(prefix.size());
}

std::optional<std::string> Repo::HeadId() const {
    if (auto branch = Branch()) return Ref("refs/heads/" + *branch);
    std::string head = Head();
    if (Has(head)) return head;
    return std::nullopt;
}

bool Repo::Has(const std::string& id) const {
    std::error_code ec;
    return !id.empty() && fs::is_directory(Tree(id), ec);
}

std::optional<std::string> Repo::Parent(const std::string& id) const {
    std::error_code ec;
    fs::path file = dir_ / "revs" / id / "parent";
    if (!fs::is_regular_file(file, ec)) return std::nullopt;
    return Read(file);
}

std::string Repo::Subject(const std::string& id) const {
    return Read(dir_ / "revs" / id / "subject");
}

fs::path Repo::Tree(const std::string& id) const {
    return dir_ / "revs" / id / "tree";
}

std::optional<std::string> Repo::Find(const std::string& prefix) const {
    if (prefix.size() < 4) return std::nullopt;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir_ / "revs", ec)) {
        std::string id = entry.path().filename().string();
        if (id.rfind(prefix, 0) == 0) return id;
    }
    return std::nullopt;
}

bool Repo::Reaches(std::string id, const std::string& ancestor) const {
    for (;;) {
        if (id == ancestor) return true;
        auto parent = Parent(id);
        if (!parent) return false;
        id = *parent;
    }
}

std::vector<fs::path> Repo::Files(const std::string& id) const {
    return FilesBelow(Tree(id));
}

void Repo::Take(const Repo& from, const std::string& id) const {
    if (Has(id)) return;
    CopyTree(from.dir_ / "revs" / id, dir_ / "revs" / id);
}

std::wstring Repo::Url() const {
    const std::string key = "url = ";
    std::string line = Read(dir_ / "config");
    if (line.rfind(key, 0) != 0) return {};
    return Wide(line.substr(key.size()));
}

void Repo::SetUrl(const std::wstring& url) const {
    Write(dir_ / "config", "url = " + Utf8(url));
}

}  // namespace standin
