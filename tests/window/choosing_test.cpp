// Choosing the source kind, the dialogs behind the Browse buttons, and the
// free-space note.
#include <windows.h>

#include <gtest/gtest.h>

#include "app.h"
#include "temp.h"
#include "window.h"
#include "window_texts.h"

namespace setup::test {
namespace {

void LeaveInstallDir(App& app) {
    app.Post(WM_COMMAND, MAKEWPARAM(kIdInstallDir, EN_KILLFOCUS),
             reinterpret_cast<LPARAM>(app.Control(kIdInstallDir)));
}

TEST(WindowChoosing, ExtractedFolderKindEmptiesSourceAndLocksDeleteImage) {
    App app;
    app.SetText(kIdSource, L"D:\\Dumps\\Corvane.iso");
    app.Check(kIdDeleteImage, true);
    ASSERT_TRUE(app.Checked(kIdDeleteImage));

    app.Click(kIdSourceFolder);
    EXPECT_TRUE(app.Checked(kIdSourceFolder));
    EXPECT_FALSE(app.Checked(kIdSourceIso));
    EXPECT_EQ(app.Text(kIdSource), L"");
    EXPECT_EQ(app.Text(kIdSourceNote), kFolderNote);
    EXPECT_FALSE(app.Checked(kIdDeleteImage));
    EXPECT_FALSE(app.Enabled(kIdDeleteImage));
    ExpectAccessible(app);  // Browse named for the folder now
    app.Shot("extracted-folder");

    // Choosing a kind again still empties the box.
    app.SetText(kIdSource, L"D:\\Extracted");
    app.Click(kIdSourceFolder);
    EXPECT_EQ(app.Text(kIdSource), L"");

    app.SetText(kIdSource, L"D:\\Extracted");
    app.Click(kIdSourceIso);
    EXPECT_TRUE(app.Checked(kIdSourceIso));
    EXPECT_EQ(app.Text(kIdSource), L"");
    EXPECT_EQ(app.Text(kIdSourceNote), kImageNote);
    EXPECT_TRUE(app.Enabled(kIdDeleteImage));
    EXPECT_FALSE(app.Checked(kIdDeleteImage));
}

TEST(WindowChoosing, SpaceNoteFollowsTheFolderWhenLeft) {
    TempDir dir;
    App app;
    struct Case {
        std::wstring folder;
        bool note;
    } cases[] = {
        {(dir / "not" / "there" / "yet").native(), true},  // walks up to the temp folder
        {L"", false},
        {L"Q:\\Games\\Corvane-Recomp", false},  // a drive that doesn't exist
        {L"no-such-corvane-folder\\x", false},  // relative, and nothing of it exists
        {dir.path().native(), true},
    };
    for (const auto& c : cases) {
        app.SetText(kIdInstallDir, c.folder);
        LeaveInstallDir(app);
        std::wstring note = app.Text(kIdSpaceNote);
        EXPECT_EQ(IsSpaceNote(note), c.note) << c.folder << L": " << note;
        if (!c.note) {
            EXPECT_EQ(note, L"") << c.folder;
        }
    }
    // Typing alone doesn't recompute it.
    app.SetText(kIdInstallDir, L"Q:\\Games");
    app.Post(WM_COMMAND, MAKEWPARAM(kIdInstallDir, EN_CHANGE),
             reinterpret_cast<LPARAM>(app.Control(kIdInstallDir)));
    EXPECT_TRUE(IsSpaceNote(app.Text(kIdSpaceNote)));
}

// The dialog the Browse button opened, with the texts of its children.
std::vector<std::wstring> ChildTexts(HWND dialog) {
    std::vector<std::wstring> texts;
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM param) {
            wchar_t text[256] = L"";
            SendMessageW(child, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
            reinterpret_cast<std::vector<std::wstring>*>(param)->push_back(text);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&texts));
    return texts;
}

bool Has(const std::vector<std::wstring>& texts, const std::wstring& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

TEST(WindowChoosing, SourceBrowseOpensTheFileDialogOrTheFolderPicker) {
    App app;
    app.SetText(kIdSource, L"kept");
    app.Click(kIdSourceBrowse);
    HWND files = app.Box();
    ASSERT_TRUE(files);
    EXPECT_TRUE(Has(ChildTexts(files), L"Disc images (*.iso)"));
    app.Shot("browse-image");
    SendNotifyMessageW(files, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(Until([&] { return !IsWindow(files); }));
    app.Settle();
    EXPECT_EQ(app.Text(kIdSource), L"kept");  // cancelled: nothing changes

    TempDir dir;
    WriteBytes(dir / "Corvane.iso", "disc");
    app.Click(kIdSourceBrowse);
    files = app.Box();
    ASSERT_TRUE(files);
    std::wstring chosen = (dir / "Corvane.iso").native();
    SendMessageW(GetDlgItem(files, 1148), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(chosen.c_str()));  // the file name box
    SendNotifyMessageW(GetDlgItem(files, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(Until([&] { return !IsWindow(files); }));
    app.Settle();
    EXPECT_EQ(app.Text(kIdSource), chosen);

    app.Click(kIdSourceFolder);
    app.Click(kIdSourceBrowse);
    HWND picker = app.Box();
    ASSERT_TRUE(picker);
    EXPECT_FALSE(Has(ChildTexts(picker), L"Disc images (*.iso)"));
    SendNotifyMessageW(picker, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(Until([&] { return !IsWindow(picker); }));
    app.Settle();
    EXPECT_EQ(app.Text(kIdSource), L"");
}

// Types a folder into the picker the Browse button opened and chooses it.
void Pick(App& app, int browse, const fs::path& folder) {
    app.Click(browse);
    HWND picker = app.Box();
    ASSERT_TRUE(picker);
    SendMessageW(GetDlgItem(picker, 1152), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(folder.c_str()));  // the file name box
    SendNotifyMessageW(GetDlgItem(picker, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(Until([&] { return !IsWindow(picker); }));
    app.Settle();
}

TEST(WindowChoosing, PickedInstallFolderGetsCorvaneRecompOnce) {
    TempDir dir;
    fs::create_directories(dir / "Games" / "Corvane-Recomp");
    App app;
    app.SetText(kIdSpaceNote, L"stale");
    Pick(app, kIdInstallDirBrowse, dir / "Games");
    EXPECT_EQ(app.Text(kIdInstallDir), (dir / "Games" / "Corvane-Recomp").native());
    EXPECT_TRUE(IsSpaceNote(app.Text(kIdSpaceNote)));  // recomputed after the pick
    Pick(app, kIdInstallDirBrowse, dir / "Games" / "Corvane-Recomp");
    EXPECT_EQ(app.Text(kIdInstallDir), (dir / "Games" / "Corvane-Recomp").native());
    // The same name in other letters is the same folder to Windows.
    fs::create_directories(dir / "Other" / "corvane-recomp");
    Pick(app, kIdInstallDirBrowse, dir / "Other" / "corvane-recomp");
    EXPECT_EQ(app.Text(kIdInstallDir), (dir / "Other" / "corvane-recomp").native());
}

TEST(WindowChoosing, PickedExtractedFolderBecomesTheSource) {
    TempDir dir;
    fs::create_directories(dir / "extracted");
    App app;
    app.Click(kIdSourceFolder);
    Pick(app, kIdSourceBrowse, dir / "extracted");
    EXPECT_EQ(app.Text(kIdSource), (dir / "extracted").native());
}

}  // namespace
}  // namespace setup::test
