// Finding the game with Windows path rules: drive roots, absolute names,
// sub-folders, and folders that bear the game's name.
#include <gtest/gtest.h>

#include "launch/file_identity.h"
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

void Touch(const fs::path& file, const char* bytes = "MZ")
{
    fs::create_directories(file.parent_path());
    WriteFileBytes(file, bytes);
}

// The search with the launcher's real test.
GameExeLocation Search(const fs::path& launcherFolder, const LauncherSettings& settings, const fs::path& launcherExe)
{
    return FindGameExe(launcherFolder, settings, GameExeTestFor(launcherExe));
}

}  // namespace

TEST(FindGameExe, CandidatesAreTriedInOrderAndTheFirstIsTheFallback)
{
    struct Row {
        const char* name;
        std::vector<const wchar_t*> present;  // relative to the install root
        const wchar_t* want;
        const wchar_t* launcher = L"OrvelLauncher.exe";  // in Launcher, unless a row puts it at a game's place
        bool found = true;
    };
    const Row rows[] = {
        {"beside and in Binaries\\Win64",
         {L"Launcher\\veldmoor.exe", L"Launcher\\Binaries\\Win64\\veldmoor.exe"},
         L"Launcher\\veldmoor.exe"},
        {"the launcher itself beside, the game in Binaries\\Win64",
         {L"Launcher\\veldmoor.exe", L"Launcher\\Binaries\\Win64\\veldmoor.exe"},
         L"Launcher\\Binaries\\Win64\\veldmoor.exe",
         L"veldmoor.exe"},
        {"only the launcher itself", {L"Launcher\\veldmoor.exe"}, L"Launcher\\veldmoor.exe", L"veldmoor.exe", false},
        {"only in Binaries\\Win64",
         {L"Launcher\\Binaries\\Win64\\veldmoor.exe"},
         L"Launcher\\Binaries\\Win64\\veldmoor.exe"},
        {"in Binaries\\Win64 and above",
         {L"Launcher\\Binaries\\Win64\\veldmoor.exe", L"veldmoor.exe"},
         L"Launcher\\Binaries\\Win64\\veldmoor.exe"},
        {"only above", {L"veldmoor.exe"}, L"veldmoor.exe"},
        {"nowhere", {}, L"Launcher\\veldmoor.exe", L"OrvelLauncher.exe", false},
        {"only in Binaries, not Win64",
         {L"Launcher\\Binaries\\veldmoor.exe"},
         L"Launcher\\veldmoor.exe",
         L"OrvelLauncher.exe",
         false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const TempFolder root;
        for (const wchar_t* file : r.present) Touch(root.Path() / file);
        const fs::path launcher = root.Path() / L"Launcher" / r.launcher;
        if (!fs::exists(launcher)) Touch(launcher, "MZ launcher");
        const GameExeLocation location = Search(root.Path() / L"Launcher", LauncherSettings{}, launcher);
        EXPECT_EQ(location.Path, root.Path() / r.want);
        EXPECT_EQ(location.Found, r.found);
    }
}

TEST(FindGameExe, NamesAreJoinedByTheWindowsPathRules)
{
    const TempFolder root;
    const fs::path launcher = root.Path() / L"Launcher";
    const fs::path self = launcher / L"OrvelLauncher.exe";
    Touch(self);
    fs::create_directories(launcher / L"folder.exe");
    Touch(launcher / L"Binaries\\Win64\\Game\\Bin\\game.exe");
    const fs::path absolute = root.Path() / L"Elsewhere\\abs.exe";
    Touch(absolute);

    // A folder bearing the name counts as found.
    EXPECT_EQ(Search(launcher, Named(L"folder.exe"), self).Path, launcher / L"folder.exe");
    // An empty name leaves the launcher folder with a separator, which exists.
    EXPECT_EQ(Search(launcher, Named(L""), self).Path.wstring(), launcher.wstring() + L"\\");
    // Sub-folders are looked up below each base in turn.
    EXPECT_EQ(Search(launcher, Named(L"Game\\Bin\\game.exe"), self).Path,
              launcher / L"Binaries\\Win64\\Game\\Bin\\game.exe");
    // Absolute names replace the base and are tested unchanged.
    EXPECT_EQ(Search(launcher, Named(absolute.wstring()), self).Path, absolute);
    EXPECT_EQ(Search(launcher, Named(L"Q:\\Nowhere\\game.exe"), self).Path, fs::path(L"Q:\\Nowhere\\game.exe"));
    // Forward slashes stay as written.
    EXPECT_EQ(Search(launcher, Named(L"Sub/x.exe"), self).Path.wstring(), launcher.wstring() + L"\\Sub/x.exe");
    // A drive root is its own parent, so the third candidate is the first.
    EXPECT_EQ(Search(L"Q:\\", Named(L"veldmoor.exe"), self).Path, fs::path(L"Q:\\veldmoor.exe"));
    // A name the file system rejects is simply not found.
    EXPECT_EQ(Search(launcher, Named(L"bad<|>\"name?.exe"), self).Path, launcher / L"bad<|>\"name?.exe");
}
