#include <cstdlib>
#include <fstream>
#include <string>

#include "desktop.h"
#include "setup.h"
#include "temp.h"

namespace setup::test {

namespace fs = std::filesystem;

namespace {

std::optional<std::string> Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

void Restore(const char* name, const std::optional<std::string>& value) {
    if (value) {
        setenv(name, value->c_str(), 1);
    } else {
        unsetenv(name);
    }
}

// Undoes the string type's escapes of a launcher file's value.
std::string Unescaped(const std::string& value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        char c = value[++i];
        out += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c == 's' ? ' ' : c;
    }
    return out;
}

// The program of an Exec line made of one quoted argument.
std::string Program(const std::string& exec) {
    std::string out;
    if (exec.size() < 2 || exec.front() != '"' || exec.back() != '"') return "<not quoted>";
    for (std::size_t i = 1; i + 1 < exec.size(); ++i) {
        if (exec[i] == '\\') ++i;
        if (exec[i] == '%') ++i;  // %% stands for one %
        out += exec[i];
    }
    return out;
}

}  // namespace

struct Desktop::Impl {
    TempDir home;
    std::optional<std::string> oldHome = Env("HOME");
    std::optional<std::string> oldConfig = Env("XDG_CONFIG_HOME");
};

Desktop::Desktop() : impl_(std::make_unique<Impl>()) {
    setenv("HOME", impl_->home.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (impl_->home / ".config").c_str(), 1);
    fs::create_directories(impl_->home / "Desktop");
}

Desktop::~Desktop() {
    Restore("HOME", impl_->oldHome);
    Restore("XDG_CONFIG_HOME", impl_->oldConfig);
}

fs::path Desktop::Shortcut() const {
    return impl_->home / "Desktop" / "Corvane Recompiled.desktop";
}

std::optional<Link> Desktop::Read() const {
    std::ifstream in(Shortcut());
    if (!in) return std::nullopt;
    Link link;
    for (std::string line; std::getline(in, line);) {
        std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq), value = Unescaped(line.substr(eq + 1));
        if (key == "Name") link.description = Widen(value);
        if (key == "Exec") link.target = Program(value);
        if (key == "Path") link.workingDir = value;
    }
    return link;
}

}  // namespace setup::test
