// The launcher's run as a player sees it: the log beside the exe, its lines,
// and the exit code.
#include <algorithm>

#include "launch/game_command_line.h"
#include "tests/e2e/launcher_test.h"
#include "tests/support/log_reading.h"
#include "tests/support/temp_folder.h"

using RunAndLog = LauncherTest;

TEST_F(RunAndLog, TypicalRunLogsEveryStepAndStartsTheGame)
{
    REQUIRE_WINE("the lines expect the known adapter and processor");
    LauncherSandbox sandbox;
    sandbox.WriteConfig("# all defaults\r\n; nothing set\r\n");
    const auto game = sandbox.PlaceGame();
    // The user's folder is for a log that cannot be written beside the
    // launcher: a normal run leaves nothing there.
    const TempFolder localAppData;
    SetLocalAppData(localAppData.Path());
    RunOptions unelevated;
    unelevated.Unelevated = true;
    const RunResult run = sandbox.Run({}, unelevated);
    EXPECT_TRUE(std::filesystem::is_empty(localAppData.Path()));
    EXPECT_EQ(run.ExitCode, 0) << LogText(run);
    const bool weak = ExpectedThreads() < 8;
    EXPECT_EQ(
        run.Log,
        OpeningLinesAnd(
            sandbox, {
                         AdapterLine(L"8.000000"),
                         CpuLine(),
                         weak ? L"CPU zayıf: Threads=" + Threads() + L" < 8 → DX11" : L"Sınır durum → PreferDx12=true",
                         weak ? L"Karar: -DX11" : L"Karar: -DX12",
                         L"Çalıştırılıyor: " + QuoteIfNeeded(game.wstring()) + (weak ? L" -DX11" : L" -DX12"),
                         L"Orvel launcher çıktı (rc=0)",
                     }));
    ASSERT_TRUE(run.Game);
    EXPECT_EQ(run.Game->Args, std::vector<std::wstring>{weak ? L"-DX11" : L"-DX12"});
}

TEST_F(RunAndLog, ExistingLogKeepsItsContentAndEachRunAppendsItsBanner)
{
    LauncherSandbox sandbox;
    const std::string earlier = "[2020-01-01 00:00:00] an earlier run's line\r\n";
    WriteFileBytes(sandbox.LogFile(), earlier);
    sandbox.Run({}, {});
    sandbox.Run({}, {});
    const std::string bytes = ReadFileBytes(sandbox.LogFile());
    EXPECT_EQ(bytes.rfind(earlier, 0), 0u);
    const std::vector<std::wstring> all = LogMessagesFrom(bytes);
    EXPECT_EQ(std::count(all.begin(), all.end(), L"=== Orvel launcher başladı ==="), 2);
    EXPECT_EQ(all.front(), L"an earlier run's line");
}

TEST_F(RunAndLog, LinesEndInExactlyOneCrLfAndTurkishLettersArriveIntact)
{
    LauncherSandbox sandbox;
    sandbox.Run({L"-dx11"}, {});
    const std::string bytes = ReadFileBytes(sandbox.LogFile());
    ASSERT_FALSE(bytes.empty());
    EXPECT_NE(bytes.substr(0, 3), "\xEF\xBB\xBF") << "the log has no byte-order mark";
    std::size_t lineFeeds = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ++lineFeeds;
            EXPECT_TRUE(i >= 1 && bytes[i - 1] == '\r');
            EXPECT_FALSE(i >= 2 && bytes[i - 2] == '\r');
        }
        if (bytes[i] == '\r') {
            EXPECT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n');
        }
    }
    EXPECT_EQ(bytes.back(), '\n');
    // "başladı" and "bulunamadı" in UTF-8.
    EXPECT_NE(bytes.find("ba\xC5\x9Flad\xC4\xB1 ==="), std::string::npos);
    EXPECT_NE(bytes.find("HATA: Oyun exe bulunamad\xC4\xB1: "), std::string::npos);
    EXPECT_EQ(LogMessagesFrom(bytes).size(), lineFeeds);
}

TEST_F(RunAndLog, LauncherLogsBesideItselfWhateverItsFolderAndTheCurrentFolder)
{
    // Folders deeper than MAX_PATH are covered by the host-side deep folder
    // test: Wine's CreateProcessW cannot start a program there.
    LauncherSandbox sandbox(L"Oyun Klasörü ş ı ç ö ü Ç\\Başlatıcı \u65E5\u672C");
    const TempFolder elsewhere;
    RunOptions options;
    options.WorkingFolder = elsewhere.Path();
    const RunResult run = sandbox.Run({L"-dx12"}, options);
    EXPECT_EQ(run.ExitCode, 1);
    ASSERT_FALSE(run.Log.empty());
    EXPECT_EQ(run.Log.front(), L"=== Orvel launcher başladı ===");
    EXPECT_EQ(run.Log.back(), L"HATA: Oyun exe bulunamadı: " + (sandbox.LauncherFolder() / L"veldmoor.exe").wstring());
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere.Path()));
}
