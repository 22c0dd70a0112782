#include "cli.h"

#include <algorithm>
#include <optional>

#include "os.h"
#include "source_check.h"
#include "urls.h"

namespace setup {

const char kUsage[] =
    "Usage: corvane-setup [options]\n"
    "Builds Corvane Recompiled from your own copy of the game.\n"
    "\n"
    "  --source PATH        your disc image (.iso) or extracted disc folder\n"
    "  --install-dir DIR    where to install (default ~/Corvane-Recomp)\n"
    "  --shortcut           put a launcher shortcut on the desktop\n"
    "  --free-space         delete the build tools and leftovers afterwards\n"
    "  --delete-image       delete the disc image once it's extracted\n"
    "  --update DIR         update the install in DIR, then start the game\n"
    "  --yes                answer yes to both of Setup's questions: whether to go on\n"
    "                       with little disk space, and whether to use a source that\n"
    "                       doesn't look like a disc image (setup.log notes each)\n"
    "  --verbose            show every log line, not only the status\n"
    "  --help               show this text\n"
    "  --version            show the version and the commit it was built from\n"
    "\n"
    "Mirror options (replace the scheme and host; the paths stay):\n"
    "  --github-api URL     the GitHub REST API (default https://api.github.com)\n"
    "  --github URL         GitHub, for the source code (default https://github.com)\n"
    "  --nuget URL          the NuGet v3 API (default https://api.nuget.org)\n"
    "\n"
    "A value may also follow its option after \"=\" (--source=PATH). Without any\n"
    "option Setup shows this text and makes nothing.\n"
    "Exit codes: 0 done, 1 the run failed, 2 a mistake on the command line,\n"
    "130 cancelled with Ctrl-C.\n";

bool IsMirror(const std::wstring& option) {
    return option == L"--github-api" || option == L"--github" || option == L"--nuget";
}

void ApplyMirror(const std::wstring& option, const std::wstring& base) {
    if (option == L"--github-api") urls::SetGithubApi(base);
    if (option == L"--github") urls::SetGithub(base);
    if (option == L"--nuget") urls::SetNuget(base);
}

namespace {

// No shell expands "~" after "=" (--install-dir=~/x) or in quotes: a folder
// option does, as the shell would have, rather than make a folder named "~"
// or "~root" that a later "rm -rf ~" to tidy up would mistake for the home.
// Empty, with `error` set, when the home can't be known.
fs::path Folder(const std::wstring& option, const std::wstring& value, std::wstring& error) {
    if (value.empty() || value[0] != L'~') return ToPath(value);
    std::size_t slash = value.find(L'/');
    std::wstring user = value.substr(1, slash == std::wstring::npos ? slash : slash - 1);
    std::wstring home = user.empty() ? os::GetEnv(L"HOME") : std::wstring();
    if (home.empty()) home = os::HomeOf(user);
    if (home.empty()) {
        error = option + L" " + value + L": Setup can't tell which folder ~" + user +
                L" is. Give the whole path.";
        return {};
    }
    if (slash == std::wstring::npos) return ToPath(home);
    return ToPath(home) / ToPath(value.substr(slash + 1));
}

}  // namespace

Options ParseArgs(const std::vector<std::wstring>& args, const fs::path& defaultInstallDir) {
    Options o;
    o.choices.installDir = defaultInstallDir;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::wstring a = args[i];
        std::size_t equals = a.rfind(L"--", 0) == 0 ? a.find(L'=') : std::wstring::npos;
        std::optional<std::wstring> inline_;
        if (equals != std::wstring::npos) {
            inline_ = a.substr(equals + 1);
            a.erase(equals);
        }
        auto value = [&](std::wstring& into) {
            if (inline_) {
                into = *inline_;
                inline_.reset();
            } else if (i + 1 < args.size()) {
                into = args[++i];
            }
            if (into.empty()) o.error = a + L" needs a value.";
            return !into.empty();
        };
        std::wstring v;
        if (a == L"--source") {
            if (value(v)) o.choices.source = Folder(a, v, o.error);
        } else if (a == L"--install-dir") {
            if (value(v)) o.choices.installDir = Folder(a, v, o.error);
        } else if (a == L"--update") {
            if (value(v)) o.update = Folder(a, v, o.error);
        } else if (IsMirror(a)) {
            if (value(v)) ApplyMirror(a, v);
        } else if (a == L"--shortcut") {
            o.choices.shortcut = true;
        } else if (a == L"--free-space") {
            o.choices.freeSpace = true;
        } else if (a == L"--delete-image") {
            o.choices.deleteImage = true;
        } else if (a == L"--yes") {
            o.yes = true;
        } else if (a == L"--verbose") {
            o.verbose = true;
        } else if (a == L"--help" || a == L"-h") {
            o.help = true;
        } else if (a == L"--version") {
            o.version = true;
        } else if (a.rfind(L"-", 0) != 0) {
            o.error = L"Unexpected argument " + a + L".";
        } else {
            o.error = L"Unknown option " + a + L".";
        }
        if (o.error.empty() && inline_) o.error = a + L" takes no value.";
        if (!o.error.empty()) break;
    }
    if (!o.update.empty()) o.choices.installDir = o.update;
    return o;
}

std::wstring PathMistake(const fs::path& given, const fs::path& updateGiven) {
    // Named as the run would read them: "Corvane.iso" says nothing of where it was looked for.
    std::error_code ec;
    fs::path source = given.empty() ? given : fs::absolute(given, ec);
    fs::path update = updateGiven.empty() ? updateGiven : fs::absolute(updateGiven, ec);
    if (!update.empty()) {
        if (!Exists(update)) return PathText(update) + L" doesn't exist.";
        if (!Exists(LayoutOf(update).source))
            return PathText(update) + L" holds no install to update (no corvane-recomp in it).";
    }
    if (source.empty()) return {};
    return MissingSource(source).message;
}

std::wstring Wrap(const std::wstring& text, int columns) {
    // The last column is left free, as the status line leaves it.
    auto room = static_cast<std::size_t>(columns > 1 ? columns - 1 : 79);
    std::wstring out;
    std::size_t line = 0;  // where the line being filled starts in `out`
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = std::min(text.find(L' ', at), text.size());
        std::wstring word = text.substr(at, end - at);
        if (out.size() > line && out.size() - line + 1 + word.size() > room) {
            out += L'\n';
            line = out.size();
        } else if (out.size() > line) {
            out += L' ';
        }
        out += word;
        at = end + 1;
    }
    return out;
}

std::wstring ConsoleMessage(const std::wstring& message) {
    if (message == kNoSource)
        return L"Choose your Corvane disc image (.iso) or extracted disc folder first "
               L"(--source PATH).";
    const std::wstring odd = L" doesn't look like an Xbox 360 disc image.";
    if (message.size() > odd.size() &&
        message.compare(message.size() - odd.size(), odd.size(), odd) == 0)
        return message + L" --yes uses it anyway.";
    return message;
}

}  // namespace setup
