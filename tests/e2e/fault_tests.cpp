// Faults and bad input: the launcher keeps its exit-code contract and loses
// no log line.
#include <cstdio>

#include "launch/game_command_line.h"
#include "log/log_file.h"
#include "tests/e2e/launcher_test.h"
#include "tests/support/log_reading.h"
#include "tests/support/temp_folder.h"

using Faults = LauncherTest;

TEST_F(Faults, SixteenLaunchersAtOnceKeepEveryLineWhole)
{
    constexpr int kRuns = 16;
    LauncherSandbox sandbox;
    sandbox.WriteConfig("CpuThreadMinForDx12=1\n");
    std::vector<UniqueHandle> launchers;
    for (int i = 0; i < kRuns; ++i) launchers.emplace_back(sandbox.Start({L"-dx11", L"-run" + std::to_wstring(i)}));
    for (const auto& launcher : launchers) {
        ASSERT_TRUE(launcher);
        ASSERT_EQ(WaitForSingleObject(launcher.get(), 120000), WAIT_OBJECT_0);
        DWORD code = 0;
        GetExitCodeProcess(launcher.get(), &code);
        EXPECT_EQ(code, 1u);
    }
    // Each run's lines arrive whole and together: the log is 16 copies of the
    // same block.
    const std::vector<std::wstring> log = ReadLogMessages(sandbox.LogFile());
    ASSERT_EQ(log.size() % kRuns, 0u);
    const std::size_t block = log.size() / kRuns;
    ASSERT_GE(block, 4u);
    for (int run = 0; run < kRuns; ++run) {
        SCOPED_TRACE(run);
        for (std::size_t i = 0; i < block; ++i) EXPECT_EQ(log[run * block + i], log[i]);
    }
    EXPECT_EQ(log.front(), L"=== Orvel launcher başladı ===");
}

TEST_F(Faults, LogThatCannotBeWrittenBesideTheLauncherGoesToTheUsersFolder)
{
    if (!CanRunUnelevated()) GTEST_SKIP() << "runs elevated with no limited token (UAC off)";
    enum class Block { LockedAgainstWriting, ReadOnly, FolderInItsPlace };
    struct Row {
        const char* why;
        Block block;
        bool userLogExists;  // else its folder is created
        bool elevated;       // then nothing is written there
    };
    const Row rows[] = {
        {"locked against writing", Block::LockedAgainstWriting, true, false},
        {"read-only", Block::ReadOnly, false, false},
        {"a folder in its place", Block::FolderInItsPlace, false, false},
        {"a folder in its place, elevated", Block::FolderInItsPlace, false, true},
    };
    bool testElevated = false;
    LimitedToken(testElevated);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        if (r.elevated && !testElevated) {
            std::printf("elevated row left out: the tests do not run elevated\n");
            continue;
        }
        LauncherSandbox sandbox;
        const auto game = sandbox.PlaceGame();
        const TempFolder localAppData;
        const auto userLog = localAppData.Path() / L"Orvel" / L"OrvelLauncher.log";
        const std::string earlier = "[2020-01-01 00:00:00] an earlier run's line\r\n";
        if (r.userLogExists) {
            std::filesystem::create_directories(userLog.parent_path());
            WriteFileBytes(userLog, earlier);
        }
        UniqueHandle holder;
        if (r.block == Block::FolderInItsPlace) {
            std::filesystem::create_directory(sandbox.LogFile());
        } else {
            WriteFileBytes(sandbox.LogFile(), "");
        }
        if (r.block == Block::LockedAgainstWriting) {
            holder = OpenExisting(sandbox.LogFile(), GENERIC_READ, FILE_SHARE_READ);
            ASSERT_TRUE(holder);
        }
        if (r.block == Block::ReadOnly) {
            SetFileAttributesW(sandbox.LogFile().c_str(), FILE_ATTRIBUTE_READONLY);
            // Wine lets root write to read-only files: this row needs Windows
            // or another user.
            if (OpenExisting(sandbox.LogFile(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE)) {
                SetFileAttributesW(sandbox.LogFile().c_str(), FILE_ATTRIBUTE_NORMAL);
                std::printf("read-only row left out: the attribute is not enforced here\n");
                continue;
            }
        }
        SetLocalAppData(localAppData.Path());
        RunOptions options;
        options.Unelevated = !r.elevated;
        const RunResult run = sandbox.Run({L"-dx12"}, options);
        SetFileAttributesW(sandbox.LogFile().c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(run.ExitCode, 0) << LogText(run);
        EXPECT_TRUE(run.Game);
        EXPECT_TRUE(run.Log.empty());
        if (r.elevated) {
            EXPECT_TRUE(std::filesystem::is_empty(localAppData.Path()));
            continue;
        }
        const std::string bytes = ReadFileBytes(userLog);
        if (r.userLogExists) {
            EXPECT_EQ(bytes.rfind(earlier, 0), 0u);
        }
        const std::vector<std::wstring> log = LogMessagesFrom(bytes.substr(r.userLogExists ? earlier.size() : 0));
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.front(), L"=== Orvel launcher başladı ===");
        EXPECT_EQ(log[log.size() - 2], L"Çalıştırılıyor: " + QuoteIfNeeded(game.wstring()) + L" -DX12");
        EXPECT_EQ(log.back(), L"Orvel launcher çıktı (rc=0)");
    }
}

TEST_F(Faults, LogThatCannotBeWrittenAnywhereLeavesTheRunSilentWithItsUsualCode)
{
    LauncherSandbox sandbox;
    sandbox.PlaceGame();
    WriteFileBytes(sandbox.LogFile(), "");
    const UniqueHandle locked = OpenExisting(sandbox.LogFile(), GENERIC_READ, FILE_SHARE_READ);
    ASSERT_TRUE(locked);
    // A file where the user's Orvel folder would be created.
    const TempFolder localAppData;
    WriteFileBytes(localAppData.Path() / L"Orvel", "");
    SetLocalAppData(localAppData.Path());
    RunOptions options;
    options.Unelevated = true;
    const RunResult run = sandbox.Run({L"-dx12"}, options);
    EXPECT_EQ(run.ExitCode, 0) << LogText(run);
    EXPECT_TRUE(run.Game);
    EXPECT_TRUE(run.Log.empty());
    EXPECT_EQ(ReadFileBytes(localAppData.Path() / L"Orvel"), "");
}

TEST_F(Faults, LogHeldByAnotherProcessStillGetsTheWholeRun)
{
    struct Row {
        const char* holder;
        DWORD access;
        DWORD share;
        bool holdsTheWritersTurn;
    };
    const Row rows[] = {
        {"a reader sharing only writing", GENERIC_READ, FILE_SHARE_WRITE, false},
        {"a writer stopped while it has its turn", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
         true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.holder);
        LauncherSandbox sandbox;
        WriteFileBytes(sandbox.LogFile(), "");
        UniqueHandle holder = OpenExisting(sandbox.LogFile(), r.access, r.share);
        ASSERT_TRUE(holder);
        if (r.holdsTheWritersTurn) {
            ASSERT_TRUE(TakeLogTurn(holder.get()));
        }
        // A launcher that waited for the turn without end would hang here.
        const UniqueHandle launcher{sandbox.Start({L"-dx12"})};
        ASSERT_EQ(WaitForSingleObject(launcher.get(), 60000), WAIT_OBJECT_0);
        holder.reset();
        const std::vector<std::wstring> log = ReadLogMessages(sandbox.LogFile());
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log.front(), L"=== Orvel launcher başladı ===");
        EXPECT_EQ(log.back(), L"HATA: Oyun exe bulunamadı: " + (sandbox.LauncherFolder() / L"veldmoor.exe").wstring());
    }
}

TEST_F(Faults, LauncherWritesItsRunOnlyOnceAnotherWriterHasGivenBackTheTurn)
{
    LauncherSandbox sandbox;
    sandbox.PlaceGame();
    WriteFileBytes(sandbox.LogFile(), "");
    const UniqueHandle holder =
        OpenExisting(sandbox.LogFile(), FILE_READ_DATA | FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(holder);
    OVERLAPPED turn{};
    turn.Offset = static_cast<DWORD>(kLogTurnOffset & 0xFFFFFFFF);
    turn.OffsetHigh = static_cast<DWORD>(kLogTurnOffset >> 32);
    ASSERT_TRUE(LockFileEx(holder.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &turn));

    const UniqueHandle launcher{sandbox.Start({L"-dx12"})};
    ASSERT_TRUE(launcher);
    // Once the game's process exists, all that is left of the launcher's run is
    // its write. A launcher that does not take turns writes and ends at once,
    // well within the second, and its run lands before the line below; one
    // that takes turns waits (up to two seconds) until the turn is given back.
    for (int i = 0; i < 3000 && sandbox.ProcessesStarted() < 2; ++i) Sleep(10);
    ASSERT_EQ(sandbox.ProcessesStarted(), 2u);
    WaitForSingleObject(launcher.get(), 1000);
    const std::string line = "[2026-12-08 12:00:00] holder's own line\r\n";
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(holder.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr));
    ASSERT_TRUE(UnlockFileEx(holder.get(), 0, 1, 0, &turn));

    ASSERT_EQ(WaitForSingleObject(launcher.get(), 60000), WAIT_OBJECT_0);
    const std::vector<std::wstring> log = ReadLogMessages(sandbox.LogFile());
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0], L"holder's own line");
    EXPECT_EQ(log[1], L"=== Orvel launcher başladı ===");
    EXPECT_EQ(log.back(), L"Orvel launcher çıktı (rc=0)");
}

TEST_F(Faults, ConfigurationHeldWithoutSharingKeepsTheDefaults)
{
    LauncherSandbox sandbox;
    sandbox.WriteConfig("GameExeName=other.exe\n");
    sandbox.PlaceGame();
    const UniqueHandle held = OpenExisting(sandbox.LauncherFolder() / L"Orvel.config.ini", GENERIC_READ, 0);
    ASSERT_TRUE(held);
    const RunResult run = sandbox.Run({L"-dx12"});
    EXPECT_EQ(run.ExitCode, 0) << LogText(run);  // veldmoor.exe, the default, was started
    ASSERT_GE(run.Log.size(), 2u);
    EXPECT_EQ(run.Log[1], L"Config açılamadı, varsayılanlar kullanılacak.");
}

TEST_F(Faults, LauncherWithoutAConsoleCreatesOneAndRunsToTheEnd)
{
    LauncherSandbox sandbox;
    sandbox.PlaceGame();
    RunOptions options;
    options.CreationFlags = DETACHED_PROCESS;
    const RunResult run = sandbox.Run({L"-dx11"}, options);
    EXPECT_EQ(run.ExitCode, 0) << LogText(run);
    ASSERT_FALSE(run.Log.empty());
    EXPECT_EQ(run.Log.back(), L"Orvel launcher çıktı (rc=0)");
    EXPECT_TRUE(run.Game);
}

TEST_F(Faults, HostileArgumentsNeverCrashTheLauncher)
{
    std::vector<std::wstring> thousand;
    for (int i = 0; i < 1000; ++i) thousand.push_back(L"-a" + std::to_wstring(i));
    const std::vector<std::wstring> rows[] = {
        thousand,
        {std::wstring(30000, L'x')},
        {L"\\\\\\\"", L"\"\"\"", L"\\", L"a\\\\", L"\" \""},
    };
    for (const auto& args : rows) {
        SCOPED_TRACE(args.size());
        LauncherSandbox sandbox;
        sandbox.PlaceGame();
        const RunResult run = sandbox.Run(args);
        // Every row fits in the system's command-line limit, so the game starts
        // and receives the switch and then every argument as given.
        ASSERT_EQ(run.ExitCode, 0) << LogText(run);
        ASSERT_GE(run.Log.size(), 3u);
        EXPECT_EQ(run.Log.back(), L"Orvel launcher çıktı (rc=0)");
        const std::wstring decision = run.Log[run.Log.size() - 3];
        ASSERT_EQ(decision.rfind(L"Karar: ", 0), 0u) << LogText(run);
        ASSERT_TRUE(run.Game);
        std::vector<std::wstring> want = args;
        want.insert(want.begin(), decision.substr(7));
        EXPECT_EQ(run.Game->Args, want);
    }
}
