#include "window_args.h"

#include "cli.h"

namespace setup {

namespace {

// What an option's value can't be: nothing, or the next option.
bool Missing(const std::vector<std::wstring>& args, std::size_t i) {
    return i >= args.size() || args[i].empty() || args[i].rfind(L"--", 0) == 0;
}

}  // namespace

std::wstring UpdateFolder(const std::vector<std::wstring>& args) {
    std::wstring folder;
    // Scanned as overlapping pairs, so "--update --update X" ends with X and a
    // trailing "--update" never reads past the end.
    for (std::size_t i = 2; i < args.size(); ++i)
        if (args[i - 1] == L"--update") folder = args[i];
    return folder;
}

void ApplyMirrors(const std::vector<std::wstring>& args) {
    for (std::size_t i = 1; i + 1 < args.size(); ++i)
        if (IsMirror(args[i])) {
            ApplyMirror(args[i], args[i + 1]);
            ++i;
        }
}

WindowArgs ReadWindowArgs(const std::vector<std::wstring>& args) {
    WindowArgs w;
    w.update = UpdateFolder(args);
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        if (a == L"--source" || a == L"--install-dir") {
            if (Missing(args, i + 1)) {
                if (w.error.empty())
                    w.error = a == L"--source"
                                  ? T(L"--source needs the disc image or the extracted disc "
                                      L"folder after it.")
                                  : T(L"--install-dir needs the folder to install to after it.");
                continue;
            }
            (a == L"--source" ? w.source : w.installDir) = args[++i];
        } else if (a == L"--language") {
            if (Missing(args, i + 1)) {
                if (w.error.empty()) w.error = LanguageMistake({});
                continue;
            }
            w.language = Match(Narrow(args[++i]));
            if (w.language.empty() && w.error.empty()) w.error = LanguageMistake(args[i]);
        } else if (a == L"--update" || IsMirror(a)) {
            ++i;  // their values are read elsewhere
        } else if (a == L"--shortcut") {
            w.shortcut = true;
        } else if (a == L"--free-space") {
            w.freeSpace = true;
        } else if (a == L"--delete-image") {
            w.deleteImage = true;
        } else if (a == L"--yes") {
            w.yes = true;
        } else if (a == L"--quiet") {
            w.quiet = true;
        } else if (a == L"/?" || a == L"-h" || a == L"--help") {
            w.help = true;
        }
    }
    if (w.error.empty() && !w.update.empty() && !w.installDir.empty())
        w.error = T(L"--update and --install-dir both name the install folder: give one of them.");
    return w;
}

}  // namespace setup
