// The configuration file beside the exe and the -dx11/-dx12 switches, through
// the real launcher.
#include "launch/game_command_line.h"
#include "tests/e2e/launcher_test.h"
#include "tests/support/temp_folder.h"

using ConfigAndSwitches = LauncherTest;

TEST_F(ConfigAndSwitches, ConfigurationBesideTheExeChangesTheOutcome)
{
    REQUIRE_WINE("the lines expect the known adapter's 8 GiB");
    struct Row {
        const char* config;
        std::vector<std::wstring> args;
        std::wstring reason;  // empty: no reason line
        std::wstring decision;
        std::vector<std::wstring> gameArgs;
    };
    const Row rows[] = {
        {"CpuThreadMinForDx12=1\r\n", {}, L"Sınır durum → PreferDx12=true", L"-DX12", {L"-DX12"}},
        {"CpuThreadMinForDx12=1\nPreferDx12=false\n", {}, L"Sınır durum → PreferDx12=false", L"-DX11", {L"-DX11"}},
        {"CpuThreadMinForDx12=1024\n",
         {},
         L"CPU zayıf: Threads=" + Threads() + L" < 1024 → DX11",
         L"-DX11",
         {L"-DX11"}},
        {"CpuThreadMinForDx12=-1\nMinVramGbForDx12=8\n",
         {},
         L"Yüksek VRAM nedeniyle DX12 (8.000000 GB)",
         L"-DX12",
         {L"-DX12"}},
        {"CpuThreadMinForDx12=1\nGameArgs = -windowed  -nosplash \n",
         {L"-log"},
         L"Sınır durum → PreferDx12=true",
         L"-DX12",
         {L"-windowed", L"-nosplash", L"-DX12", L"-log"}},
        // A forcing switch in capitals skips the decision and its reason line.
        {"CpuThreadMinForDx12=1\n", {L"-DX11"}, L"", L"-DX11", {L"-DX11"}},
        {"CpuThreadMinForDx12=1024\n", {L"-Dx12", L"-log"}, L"", L"-DX12", {L"-DX12", L"-log"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.config);
        LauncherSandbox sandbox;
        sandbox.WriteConfig(r.config);
        const auto game = sandbox.PlaceGame();
        const RunResult run = sandbox.Run(r.args);
        EXPECT_EQ(run.ExitCode, 0) << LogText(run);
        std::vector<std::wstring> want = OpeningLinesAnd(sandbox, {AdapterLine(L"8.000000"), CpuLine()});
        if (!r.reason.empty()) want.push_back(r.reason);
        want.push_back(L"Karar: " + r.decision);
        ASSERT_GE(run.Log.size(), want.size());
        EXPECT_EQ(std::vector<std::wstring>(run.Log.begin(), run.Log.begin() + want.size()), want);
        ASSERT_TRUE(run.Game);
        EXPECT_EQ(run.Game->Args, r.gameArgs);
    }
}

TEST_F(ConfigAndSwitches, GameExeNameFromTheConfigurationIsStarted)
{
    LauncherSandbox sandbox;
    sandbox.WriteConfig("GameExeName=Other Game.exe\n");
    const auto game = sandbox.PlaceGame(L".", L"Other Game.exe");
    const RunResult run = sandbox.Run({L"-dx11"});
    EXPECT_EQ(run.ExitCode, 0) << LogText(run);
    ASSERT_GE(run.Log.size(), 2u);
    EXPECT_EQ(run.Log[run.Log.size() - 2], L"Çalıştırılıyor: \"" + game.wstring() + L"\" -DX11");
    EXPECT_TRUE(run.Game);
}

TEST_F(ConfigAndSwitches, BothSwitchesForceDx12WithOneLineBeforeTheAdapterLine)
{
    REQUIRE_WINE("the lines expect the known adapter and processor");
    LauncherSandbox sandbox;
    sandbox.PlaceGame();
    const RunResult run = sandbox.Run({L"-dx12", L"-DX11", L"-dX12", L"-x"});
    EXPECT_EQ(run.Log, Lines({
                           L"=== Orvel launcher başladı ===",
                           L"Config bulunamadı, varsayılanlar kullanılacak.",
                           L"Hem -dx11 hem -dx12 verildi, -dx12 öncelikli.",
                           AdapterLine(L"8.000000"),
                           CpuLine(),
                           L"Karar: -DX12",
                           L"Çalıştırılıyor: " + QuoteIfNeeded((sandbox.LauncherFolder() / L"veldmoor.exe").wstring()) +
                               L" -DX12 -x",
                           L"Orvel launcher çıktı (rc=0)",
                       }));
    ASSERT_TRUE(run.Game);
    EXPECT_EQ(run.Game->Args, (std::vector<std::wstring>{L"-DX12", L"-x"}));
}

TEST_F(ConfigAndSwitches, HostileConfigurationFilesNeverStopTheLauncher)
{
    std::string everyByte;
    for (int i = 0; i < 256; ++i) everyByte += static_cast<char>(i);
    std::string manyLines;
    for (int i = 0; i < 100000; ++i) manyLines += "AmdMinRxModel=" + std::to_string(i) + "\r\n";
    constexpr std::size_t kFillTheLimit = 0;
    struct Row {
        const char* name;
        std::string text;
        // Set: the file is GameArgs= and this many letters; kFillTheLimit: as
        // many as take the game's command line to the system's limit.
        std::optional<std::size_t> gameArgsLetters{};
        int exitCode = 0;
    };
    const Row rows[] = {
        {"NUL bytes", std::string("Game\0ExeName=x\0\0\nCpuThreadMinForDx12=\0"
                                  "1\n",
                                  38)},
        {"one 8 MiB line", "", 8 * 1024 * 1024, 2},
        {"GameArgs that take the command line to the system's limit", "", kFillTheLimit},
        {"100,000 lines", manyLines},
        {"every byte value", everyByte + everyByte},
        {"UTF-16 with a byte-order mark", Bytes("\xFF\xFEG\0=\0\n\0")},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        LauncherSandbox sandbox;
        const std::wstring exe = QuoteIfNeeded(sandbox.PlaceGame().wstring());
        std::wstring commandLine;
        if (r.gameArgsLetters) {
            // The command line is the path, a blank, GameArgs and " -DX11"; the
            // system counts one more, for its NUL.
            const std::size_t letters =
                *r.gameArgsLetters == kFillTheLimit ? kCommandLineLimit - exe.size() - 8 : *r.gameArgsLetters;
            sandbox.WriteConfig("GameArgs=" + std::string(letters, 'a'));
            commandLine = exe + L" " + std::wstring(letters, L'a') + L" -DX11";
        } else {
            sandbox.WriteConfig(r.text);
        }
        const RunResult run = sandbox.Run({L"-dx11"});
        ASSERT_EQ(run.ExitCode, r.exitCode) << LogText(run).substr(0, 4096);
        ASSERT_GE(run.Log.size(), 4u);
        EXPECT_EQ(std::vector<std::wstring>(run.Log.begin(), run.Log.begin() + 3), OpeningLinesAnd(sandbox, {}));
        EXPECT_EQ(run.Log.back(), L"Orvel launcher çıktı (rc=" + std::to_wstring(r.exitCode) + L")");
        if (r.exitCode == 2) {
            EXPECT_EQ(
                run.Log[run.Log.size() - 2],
                L"HATA: Komut satırı çok uzun: " + std::to_wstring(commandLine.size() + 1) + L" karakter, sınır 32767");
            EXPECT_EQ(sandbox.ProcessesStarted(), 1u);  // the launcher, and no game
        } else if (!commandLine.empty()) {
            ASSERT_TRUE(run.Game);
            EXPECT_EQ(sandbox.ProcessesStarted(), 2u);  // the launcher and the game
            EXPECT_EQ(commandLine.size() + 1, kCommandLineLimit);
            EXPECT_EQ(run.Game->CommandLine, commandLine);
            EXPECT_EQ(run.Game->Args.back(), L"-DX11");
        }
    }
}
