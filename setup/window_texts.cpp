#include "window_texts.h"

#include "maintenance.h"
#include "setup.h"
#include "version.h"

namespace setup {

std::wstring WindowHelp() {
    return Say(
        L"corvane-setup.exe [options]\n\n"
        L"--source PATH: the disc image (.iso) or the extracted disc folder\n"
        L"--install-dir DIR: the folder to install to\n"
        L"--shortcut: add a desktop shortcut to the launcher\n"
        L"--free-space: delete the build tools and leftovers afterwards\n"
        L"--delete-image: delete the disc image once it's extracted\n"
        L"--yes: answer Setup's questions yes (little disk space, a source that doesn't look "
        L"like a disc image); setup.log notes each\n"
        L"--quiet: show no message box and close when the run ends (setup.log has the outcome)\n"
        L"--update DIR: update the install in DIR, then start the game\n"
        L"--language CODE: show Setup in that language: {}\n\n"
        L"With --source or --install-dir the run starts at once. Exit code: 0 when the run "
        L"succeeded, 1 when it failed or was cancelled, 2 for a command line that can't be used."
        L"\n\nVersion {}",
        LanguageCodes(), Widen(kSetupVersion));
}

std::wstring SpaceNote(std::uint64_t freeBytes) {
    return Say(L"{} free on that drive; about 12 GB is needed (6 GB once the disc is extracted).",
               mosk::maintenance::SizeText(freeBytes));
}

std::wstring DeleteQuestion(const std::wstring& image) {
    return Say(
        L"Delete the disc image when it's been extracted?\n\n{}\n\nThe game only needs the "
        L"extracted files; you'd need the disc image again only to install somewhere else.",
        image);
}

Stage StageOf(const std::wstring& status, Stage current) {
    auto starts = [&](const wchar_t* text) { return status.rfind(text, 0) == 0; };
    Stage next = current;
    // The tools and the source side by side: what stopping keeps is the tools'.
    if (starts(L"Checking the tools") || starts(L"Unpacking ") || starts(L"Downloading "))
        next = Stage::kTools;
    if (starts(L"Getting the build tools")) next = Stage::kGetting;
    if (starts(L"Downloading the source code")) next = Stage::kClone;
    if (starts(L"Updating the source code")) next = Stage::kUpdate;
    if (starts(L"Building (")) next = Stage::kBuild;
    if (starts(L"Finishing") || starts(L"Freeing up space")) next = Stage::kFinish;
    // The source stage's two kinds rank the same.
    auto rank = [](Stage s) { return static_cast<int>(s == Stage::kUpdate ? Stage::kClone : s); };
    return rank(next) > rank(current) ? next : current;
}

std::wstring Staged(Stage stage, const std::wstring& status) {
    int step = 0;
    switch (stage) {
        case Stage::kStart:
            return status;
        case Stage::kTools:
            step = 1;
            break;
        case Stage::kGetting:
        case Stage::kClone:
        case Stage::kUpdate:
            step = 2;
            break;
        case Stage::kBuild:
            step = 3;
            break;
        case Stage::kFinish:
            step = 4;
            break;
    }
    return Say(L"Step {} of 4: {}", std::to_wstring(step), status);
}

std::wstring StopQuestion(Stage stage) {
    switch (stage) {
        case Stage::kStart:
            return T(L"Stop the run? It has only just begun; the next run starts it again.");
        case Stage::kTools:
        case Stage::kGetting:
            return T(
                L"Stop the run? The build tools downloaded so far are kept and the next run "
                L"continues with the rest.");
        case Stage::kClone:
            return T(
                L"Stop the run? The build tools are kept; the source code's download starts "
                L"again on the next run.");
        case Stage::kUpdate:
            return T(
                L"Stop the run? The build tools and the source code are kept; the next run "
                L"updates the source code again.");
        case Stage::kBuild:
            return T(L"Stop the run? The build so far is kept and the next run continues from it.");
        case Stage::kFinish:
            break;
    }
    return {};
}

std::wstring OneLine(const std::wstring& text) {
    std::wstring line;
    bool gap = false;
    for (wchar_t c : text) {
        // The indent after a line break goes with it.
        if (c < 0x20 || c == 0x7f || (gap && c == L' ')) {
            gap = true;
            continue;
        }
        if (gap && !line.empty() && line.back() != L' ') line += L' ';
        gap = false;
        line += c;
    }
    return line;
}

bool NonEnglish(const std::wstring& path) {
    for (wchar_t c : path)
        if (static_cast<std::uint32_t>(c) >= 0x80) return true;
    return false;
}

std::wstring FirstSentence(const std::wstring& message) {
    std::size_t word = 0;  // where the word before `at` starts
    for (std::size_t at = 0; at + 1 < message.size(); ++at) {
        if (message[at] == L' ' || message[at] == L'\n') word = at + 1;
        // Chinese and Japanese end a sentence with a full stop of their own, no space after.
        if (message[at] == L'\u3002' || message[at] == L'\uFF01' || message[at] == L'\uFF1F')
            return message.substr(0, at + 1);
        bool end = message[at] == L'.' || message[at] == L'?' || message[at] == L'!';
        if (!end || (message[at + 1] != L' ' && message[at + 1] != L'\n')) continue;
        // A folder named "J. Smith" doesn't end the sentence that names it.
        if (message.find_first_of(L"\\/", word) < at) continue;
        return message.substr(0, at + 1);
    }
    return message;
}

}  // namespace setup
