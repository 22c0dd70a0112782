// The desktop shortcut as a freedesktop launcher file in the user's desktop
// folder.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "os.h"
#include "setup.h"

namespace setup::os {

namespace {

namespace fs = std::filesystem;

fs::path Home() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    const passwd* user = getpwuid(getuid());
    return user && user->pw_dir ? fs::path(user->pw_dir) : fs::path();
}

// The value of an XDG_DESKTOP_DIR="..." line: "$HOME/..." or an absolute
// path, with the shell's backslash escapes; empty for anything else.
fs::path DesktopValue(const std::string& line, const fs::path& home) {
    const std::string key = "XDG_DESKTOP_DIR=\"";
    std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, key.size(), key) != 0) return {};
    std::string value;
    bool closed = false;
    for (std::size_t i = start + key.size(); i < line.size() && !closed; ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            value += line[++i];
        } else if (line[i] == '"') {
            closed = true;
        } else {
            value += line[i];
        }
    }
    if (!closed) return {};
    if (value.rfind("$HOME", 0) == 0) return fs::path(home.string() + value.substr(5));
    if (!value.empty() && value[0] == '/') return value;
    return {};
}

// XDG_DESKTOP_DIR from user-dirs.dirs (the last valid line, as a shell reading
// the file would take it), else ~/Desktop.
fs::path DesktopFolder(const fs::path& home) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    fs::path dirs =
        (config && config[0] == '/' ? fs::path(config) : home / ".config") / "user-dirs.dirs";
    fs::path desktop = home / "Desktop";
    std::ifstream in(dirs);
    for (std::string line; std::getline(in, line);) {
        fs::path value = DesktopValue(line, home);
        if (!value.empty()) desktop = value;
    }
    return desktop;
}

// A value of the string type: backslash and control characters escaped.
std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// The program as the one quoted argument of Exec, before the string escapes.
std::string Argument(const std::string& program) {
    std::string out = "\"";
    for (char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
        if (c == '%') out += '%';  // field codes start with %
        out += c;
    }
    return out + "\"";
}

}  // namespace

bool Shortcut(const fs::path& target, const fs::path& workingDir, const std::wstring& description,
              const std::wstring& name) {
    fs::path home = Home();
    if (home.empty()) return false;
    fs::path desktop = DesktopFolder(home);
    std::error_code ec;
    if (!fs::is_directory(fs::status(desktop, ec))) return false;
    fs::path file = desktop / (Narrow(name) + ".desktop");
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << "[Desktop Entry]\n"
            << "Type=Application\n"
            << "Name=" << Escaped(Narrow(description)) << "\n"
            << "Exec=" << Escaped(Argument(target.string())) << "\n"
            << "Path=" << Escaped(workingDir.string()) << "\n";
        out.close();
        if (out.fail()) return false;
    }
    // Desktops start only launcher files that are marked executable.
    fs::permissions(file, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add, ec);
    return !ec;
}

}  // namespace setup::os
