// What Windows reads from the program file before it runs a line of it: the
// application manifest and the version resource, read back from the built
// program.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app.h"
#include "setup.h"
#include "version.h"

namespace setup::test {
namespace {

struct ModuleFreer {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};

std::string Manifest(const fs::path& exe) {
    std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFreer> module(LoadLibraryExW(
        exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!module) return {};
    HRSRC found = FindResourceW(module.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    if (!found) return {};
    HGLOBAL data = LoadResource(module.get(), found);
    return std::string(static_cast<const char*>(LockResource(data)),
                       SizeofResource(module.get(), found));
}

TEST(ProgramFile, ManifestAsksNoInstallerHeuristicsAndAllowsLongPaths) {
    for (const fs::path& exe : {SetupExe(), HeldExe()}) {
        SCOPED_TRACE(exe.string());
        std::string manifest = Manifest(exe);
        ASSERT_FALSE(manifest.empty());
        for (
            const char* wanted :
            {R"(<requestedExecutionLevel level="asInvoker" uiAccess="false"/>)",
             R"(<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>)",
             R"(<longPathAware xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">true</longPathAware>)",
             R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")"})
            EXPECT_NE(manifest.find(wanted), std::string::npos) << wanted;
    }
}

TEST(ProgramFile, VersionResourceNamesTheProductAndTheConsoleVersion) {
    fs::path exe = SetupExe();
    DWORD size = GetFileVersionInfoSizeW(exe.c_str(), nullptr);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, info.data()));
    auto value = [&](const wchar_t* name) {
        void* text = nullptr;
        UINT length = 0;
        std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        if (!VerQueryValueW(info.data(), key.c_str(), &text, &length) || !length)
            return std::wstring();
        return std::wstring(static_cast<const wchar_t*>(text));
    };
    std::wstring version = Widen(kSetupVersion);
    const struct {
        const wchar_t* name;
        std::wstring value;
    } strings[] = {
        {L"ProductName", L"Corvane Recompiled Setup"},
        {L"FileVersion", version},
        {L"ProductVersion", version},
        {L"OriginalFilename", L"corvane-setup.exe"},
    };
    for (const auto& s : strings) EXPECT_EQ(value(s.name), s.value) << Narrow(s.name);
    EXPECT_FALSE(value(L"FileDescription").empty());

    // The numbers Explorer shows are the same version: 0.1.0 is 0.1.0.0.
    void* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", &fixed, &length));
    const auto* numbers = static_cast<const VS_FIXEDFILEINFO*>(fixed);
    std::wstring dotted = std::to_wstring(HIWORD(numbers->dwFileVersionMS)) + L"." +
                          std::to_wstring(LOWORD(numbers->dwFileVersionMS)) + L"." +
                          std::to_wstring(HIWORD(numbers->dwFileVersionLS));
    EXPECT_EQ(version.substr(0, version.find(L' ')), dotted);
    EXPECT_EQ(LOWORD(numbers->dwFileVersionLS), 0);
}

}  // namespace
}  // namespace setup::test
