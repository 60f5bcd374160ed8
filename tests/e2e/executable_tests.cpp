// What the shipped OrvelLauncher.exe carries: its icon, its manifest and its
// version block.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/launcher_sandbox.h"
#include "version.h"

namespace {

using UniqueModule = Unique<HMODULE, &FreeLibrary>;

UniqueModule LoadLauncherImage()
{
    return UniqueModule{LoadLibraryExW((TestProgramFolder() / L"OrvelLauncher.exe").c_str(), nullptr,
                                       LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE)};
}

std::string ResourceText(HMODULE module, LPCWSTR type, int id)
{
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!found) return {};
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
    return std::string(bytes, SizeofResource(module, found));
}

#pragma pack(push, 2)
struct IconGroupHeader {
    WORD Reserved;
    WORD Type;
    WORD Count;
};
struct IconGroupEntry {
    BYTE Width;
    BYTE Height;
    BYTE ColorCount;
    BYTE Reserved;
    WORD Planes;
    WORD BitCount;
    DWORD BytesInRes;
    WORD Id;
};
#pragma pack(pop)

}  // namespace

TEST(Executable, IconGroup101HoldsOne32x32ImageOf32Bits)
{
    const UniqueModule launcher = LoadLauncherImage();
    ASSERT_TRUE(launcher);
    const std::string group = ResourceText(launcher.get(), RT_GROUP_ICON, 101);
    ASSERT_EQ(group.size(), sizeof(IconGroupHeader) + sizeof(IconGroupEntry));
    const auto* header = reinterpret_cast<const IconGroupHeader*>(group.data());
    const auto* entry = reinterpret_cast<const IconGroupEntry*>(group.data() + sizeof(IconGroupHeader));
    EXPECT_EQ(header->Count, 1);
    EXPECT_EQ(entry->Width, 32);
    EXPECT_EQ(entry->Height, 32);
    EXPECT_EQ(entry->BitCount, 32);
    // The console is given both sizes; the system scales the one image for 16x16.
    for (const int size : {32, 16}) {
        const HANDLE icon = LoadImageW(launcher.get(), MAKEINTRESOURCEW(101), IMAGE_ICON, size, size, LR_DEFAULTCOLOR);
        EXPECT_TRUE(icon) << size;
        if (icon) DestroyIcon(static_cast<HICON>(icon));
    }
}

TEST(Executable, ManifestRunsAsInvokerAndIsLongPathAware)
{
    const UniqueModule launcher = LoadLauncherImage();
    ASSERT_TRUE(launcher);
    const std::string manifest = ResourceText(launcher.get(), RT_MANIFEST, 1);
    EXPECT_NE(manifest.find(R"(level="asInvoker")"), std::string::npos);
    EXPECT_NE(manifest.find(R"(uiAccess="false")"), std::string::npos);
    EXPECT_NE(manifest.find(">true</longPathAware>"), std::string::npos);
}

TEST(Executable, VersionBlockNamesTheProduct)
{
    const std::wstring exe = (TestProgramFolder() / L"OrvelLauncher.exe").wstring();
    std::string block(GetFileVersionInfoSizeW(exe.c_str(), nullptr), '\0');
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    const auto text = [&](const wchar_t* name) {
        wchar_t* value = nullptr;
        UINT length = 0;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
            return std::wstring();
        return std::wstring(value);
    };
    EXPECT_EQ(text(L"ProductName"), L"OrvelLauncher");
    EXPECT_EQ(text(L"FileDescription"), L"OrvelLauncher - DX Auto-Selector");
    EXPECT_EQ(text(L"OriginalFilename"), L"OrvelLauncher.exe");
    EXPECT_EQ(text(L"LegalCopyright"), L"Copyright (c) 2026 Orvel. MIT licence.");
    EXPECT_EQ(text(L"ProductVersion"), L"" ORVEL_VERSION_TEXT);
    EXPECT_EQ(text(L"FileVersion"), L"" ORVEL_VERSION_TEXT);
}
