// Finding and starting the game: where it is found, how it is started, what
// it receives, and the exit codes.
#include <algorithm>

#include "launch/game_command_line.h"
#include "tests/e2e/launcher_test.h"
#include "tests/support/log_reading.h"
#include "tests/support/wait_until.h"

using GameLaunch = LauncherTest;

TEST_F(GameLaunch, FirstPlaceThatHoldsTheGameWinsAndIsItsWorkingFolder)
{
    struct Row {
        const char* name;
        std::vector<const wchar_t*> places;  // relative to the launcher's folder
        const wchar_t* started;
    };
    const Row rows[] = {
        {"beside", {L"."}, L"."},
        {"Binaries\\Win64", {L"Binaries\\Win64"}, L"Binaries\\Win64"},
        {"one folder up", {L".."}, L".."},
        {"beside and Binaries\\Win64", {L"Binaries\\Win64", L"."}, L"."},
        {"Binaries\\Win64 and one up", {L"..", L"Binaries\\Win64"}, L"Binaries\\Win64"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        LauncherSandbox sandbox;
        for (const wchar_t* place : r.places) sandbox.PlaceGame(place);
        const auto exe = (sandbox.LauncherFolder() / r.started / L"veldmoor.exe").lexically_normal();
        const auto folder = exe.parent_path();
        const RunResult run = sandbox.Run({L"-dx12"});
        EXPECT_EQ(run.ExitCode, 0) << LogText(run);
        ASSERT_GE(run.Log.size(), 2u);
        EXPECT_EQ(run.Log[run.Log.size() - 2], L"Çalıştırılıyor: " + QuoteIfNeeded(exe.wstring()) + L" -DX12");
        EXPECT_EQ(run.Log.back(), L"Orvel launcher çıktı (rc=0)");
        ASSERT_TRUE(run.Game);
        EXPECT_EQ(run.Game->Folder, folder);
        EXPECT_EQ(run.Game->WorkingFolder, folder.wstring());
        EXPECT_EQ(run.Game->CommandLine, QuoteIfNeeded(exe.wstring()) + L" -DX12");
    }
}

TEST_F(GameLaunch, LauncherNeverStartsItself)
{
    struct Row {
        const char* name;
        const wchar_t* launcherName;
        const char* config;
        const wchar_t* gameFolder;  // the real game's place, if any
        int exitCode;
    };
    const Row rows[] = {
        {"renamed to the game's name, the game in Binaries\\Win64", L"veldmoor.exe", "", L"Binaries\\Win64", 0},
        {"GameExeName naming the launcher, nothing else", L"OrvelLauncher.exe", "GameExeName=OrvelLauncher.exe\n",
         nullptr, 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        LauncherSandbox sandbox(L"Launcher", r.launcherName);
        sandbox.WriteConfig(r.config);
        if (r.gameFolder) sandbox.PlaceGame(r.gameFolder);
        // A launcher that started itself would go on without end; the
        // sandbox's job ends any such chain with the row.
        const RunResult run = sandbox.Run({});
        EXPECT_EQ(run.ExitCode, r.exitCode) << LogText(run);
        const std::vector<std::wstring> log = ReadLogMessages(sandbox.LogFile());
        EXPECT_EQ(std::count(log.begin(), log.end(), L"=== Orvel launcher başladı ==="), 1) << LogText(run);
        if (r.gameFolder) {
            ASSERT_TRUE(run.Game);
            EXPECT_EQ(run.Game->Folder, (sandbox.LauncherFolder() / r.gameFolder).lexically_normal());
        } else {
            ASSERT_FALSE(run.Log.empty());
            EXPECT_EQ(run.Log.back(), L"HATA: Oyun exe bulunamadı: " + sandbox.LauncherExe().wstring());
        }
    }
}

TEST_F(GameLaunch, MissingGameEndsWithOneAndTheErrorLineLast)
{
    LauncherSandbox sandbox;
    const RunResult run = sandbox.Run({L"-dx11"});
    EXPECT_EQ(run.ExitCode, 1);
    ASSERT_FALSE(run.Log.empty());
    EXPECT_EQ(run.Log.back(), L"HATA: Oyun exe bulunamadı: " + (sandbox.LauncherFolder() / L"veldmoor.exe").wstring());
    for (const auto& line : run.Log) EXPECT_NE(line.rfind(L"Çalıştırılıyor: ", 0), 0u);
}

TEST_F(GameLaunch, FolderNamedLikeTheGameFailsToStartWithTwo)
{
    LauncherSandbox sandbox;
    std::filesystem::create_directory(sandbox.LauncherFolder() / L"veldmoor.exe");
    const RunResult run = sandbox.Run({L"-dx11"});
    EXPECT_EQ(run.ExitCode, 2);
    ASSERT_GE(run.Log.size(), 3u);
    EXPECT_EQ(run.Log[run.Log.size() - 3],
              L"Çalıştırılıyor: " + QuoteIfNeeded((sandbox.LauncherFolder() / L"veldmoor.exe").wstring()) + L" -DX11");
    EXPECT_EQ(run.Log[run.Log.size() - 2].rfind(L"CreateProcessW başarısız. Hata: ", 0), 0u);
    EXPECT_GT(std::stoul(run.Log[run.Log.size() - 2].substr(32)), 0ul);
    EXPECT_EQ(run.Log.back(), L"Orvel launcher çıktı (rc=2)");
}

TEST_F(GameLaunch, PathWithBlanksIsQuotedAndTheGameStillStarts)
{
    LauncherSandbox sandbox(L"My Games\\Orvel Launcher");
    sandbox.WriteConfig("GameArgs=-windowed -nosplash\n");
    const auto game = sandbox.PlaceGame();
    const RunResult run = sandbox.Run({L"-dx12", L"-log"});
    EXPECT_EQ(run.ExitCode, 0) << LogText(run);
    ASSERT_GE(run.Log.size(), 2u);
    EXPECT_EQ(run.Log[run.Log.size() - 2],
              L"Çalıştırılıyor: \"" + game.wstring() + L"\" -windowed -nosplash -DX12 -log");
    ASSERT_TRUE(run.Game);
    EXPECT_EQ(run.Game->Args, (std::vector<std::wstring>{L"-windowed", L"-nosplash", L"-DX12", L"-log"}));
    EXPECT_EQ(run.Game->WorkingFolder, sandbox.LauncherFolder().wstring());
}

TEST_F(GameLaunch, EveryArgumentReachesTheGameExactlyAsGiven)
{
    const std::vector<std::wstring> args = {
        L"-savedir",
        L"C:\\My Games\\Slot 1",
        L"tab\there",
        L"say \"hi\"",
        L"\"",
        L"C:\\trailing\\",
        L"C:\\with space\\",
        L"a\\\\\"b",
        L"\\\\\\\"x",
        L"",
        L"ünïcødé ş ğ İ \u2192",
        L"-log",
        L"x\" -injected \"y",
        L"%PATH%",
        L"^&|<>",
    };
    LauncherSandbox sandbox;
    sandbox.PlaceGame();
    const RunResult run = sandbox.Run(args);
    EXPECT_EQ(run.ExitCode, 0) << LogText(run);
    ASSERT_TRUE(run.Game);
    std::vector<std::wstring> want = args;
    want.insert(want.begin(), L"-DX11");
    if (std::find(run.Log.begin(), run.Log.end(), L"Karar: -DX12") != run.Log.end()) want[0] = L"-DX12";
    EXPECT_EQ(run.Game->Args, want);
}

TEST_F(GameLaunch, LauncherDoesNotWaitForTheGame)
{
    LauncherSandbox sandbox;
    const auto game = sandbox.PlaceGame();
    WriteFileBytes(sandbox.LauncherFolder() / L"stand_in_hold", "");
    // The stand-in stays until released, and it is released only after the
    // launcher has ended: a launcher that waited would never end, and Run
    // fails on its timeout.
    const RunResult run = sandbox.Run({L"-dx11"});
    EXPECT_EQ(run.ExitCode, 0) << LogText(run);
    ASSERT_TRUE(run.Game);
    EXPECT_FALSE(std::filesystem::exists(sandbox.LauncherFolder() / L"stand_in_done"));
    WriteFileBytes(sandbox.LauncherFolder() / L"stand_in_release", "");
    const auto done = sandbox.LauncherFolder() / L"stand_in_done";
    EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(done); }, 30));
}
