// Finding the game with Windows path rules: drive roots, absolute names,
// sub-folders, and folders that bear the game's name.
#include <gtest/gtest.h>

#include "launch/game_location.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

LauncherSettings Named(const std::wstring& name)
{
    LauncherSettings settings;
    settings.GameExeName = name;
    return settings;
}

const SameFileTest kNoLauncher = [](const fs::path&) { return false; };

void Touch(const fs::path& file)
{
    fs::create_directories(file.parent_path());
    WriteFileBytes(file, "MZ");
}

}  // namespace

TEST(FindGameExe, CandidatesAreTriedInOrderAndTheFirstIsTheFallback)
{
    struct Row {
        const char* name;
        std::vector<const wchar_t*> present;  // relative to the install root
        const wchar_t* want;
        const wchar_t* launcher = L"Launcher\\OrvelLauncher.exe";
    };
    const Row rows[] = {
        {"beside and in Binaries\\Win64",
         {L"Launcher\\veldmoor.exe", L"Launcher\\Binaries\\Win64\\veldmoor.exe"},
         L"Launcher\\veldmoor.exe"},
        {"the launcher itself beside, the game in Binaries\\Win64",
         {L"Launcher\\veldmoor.exe", L"Launcher\\Binaries\\Win64\\veldmoor.exe"},
         L"Launcher\\Binaries\\Win64\\veldmoor.exe",
         L"Launcher\\veldmoor.exe"},
        {"only the launcher itself", {L"Launcher\\veldmoor.exe"}, L"Launcher\\veldmoor.exe", L"Launcher\\veldmoor.exe"},
        {"only in Binaries\\Win64",
         {L"Launcher\\Binaries\\Win64\\veldmoor.exe"},
         L"Launcher\\Binaries\\Win64\\veldmoor.exe"},
        {"in Binaries\\Win64 and above",
         {L"Launcher\\Binaries\\Win64\\veldmoor.exe", L"veldmoor.exe"},
         L"Launcher\\Binaries\\Win64\\veldmoor.exe"},
        {"only above", {L"veldmoor.exe"}, L"veldmoor.exe"},
        {"nowhere", {}, L"Launcher\\veldmoor.exe"},
        {"only in Binaries, not Win64", {L"Launcher\\Binaries\\veldmoor.exe"}, L"Launcher\\veldmoor.exe"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const TempFolder root;
        for (const wchar_t* file : r.present) Touch(root.Path() / file);
        fs::create_directories(root.Path() / L"Launcher");
        const SameFileTest isLauncher = [&](const fs::path& path) { return path == root.Path() / r.launcher; };
        EXPECT_EQ(FindGameExe(root.Path() / L"Launcher", LauncherSettings{}, isLauncher), root.Path() / r.want);
    }
}

TEST(FindGameExe, NamesAreJoinedByTheWindowsPathRules)
{
    const TempFolder root;
    const fs::path launcher = root.Path() / L"Launcher";
    fs::create_directories(launcher / L"folder.exe");
    Touch(launcher / L"Binaries\\Win64\\Game\\Bin\\game.exe");
    const fs::path absolute = root.Path() / L"Elsewhere\\abs.exe";
    Touch(absolute);

    // A folder bearing the name counts as found.
    EXPECT_EQ(FindGameExe(launcher, Named(L"folder.exe"), kNoLauncher), launcher / L"folder.exe");
    // An empty name leaves the launcher folder with a separator, which exists.
    EXPECT_EQ(FindGameExe(launcher, Named(L""), kNoLauncher).wstring(), launcher.wstring() + L"\\");
    // Sub-folders are looked up below each base in turn.
    EXPECT_EQ(FindGameExe(launcher, Named(L"Game\\Bin\\game.exe"), kNoLauncher),
              launcher / L"Binaries\\Win64\\Game\\Bin\\game.exe");
    // Absolute names replace the base and are tested unchanged.
    EXPECT_EQ(FindGameExe(launcher, Named(absolute.wstring()), kNoLauncher), absolute);
    EXPECT_EQ(FindGameExe(launcher, Named(L"Q:\\Nowhere\\game.exe"), kNoLauncher), fs::path(L"Q:\\Nowhere\\game.exe"));
    // Forward slashes stay as written.
    EXPECT_EQ(FindGameExe(launcher, Named(L"Sub/x.exe"), kNoLauncher).wstring(), launcher.wstring() + L"\\Sub/x.exe");
    // A drive root is its own parent, so the third candidate is the first.
    EXPECT_EQ(FindGameExe(L"Q:\\", Named(L"veldmoor.exe"), kNoLauncher), fs::path(L"Q:\\veldmoor.exe"));
    // A name the file system rejects is simply not found.
    EXPECT_EQ(FindGameExe(launcher, Named(L"bad<|>\"name?.exe"), kNoLauncher), launcher / L"bad<|>\"name?.exe");
}
