// A graphics driver that breaks while the launcher lists the adapters: the run
// still leaves its lines. The driver replaces System32\dxgi.dll, so these
// tests run only in a Wine prefix of their own (ctest's e2e_broken_driver),
// never in the suite's.
#include <algorithm>
#include <cwctype>

#include "log/fill_in.h"
#include "log/log_messages.h"
#include "tests/e2e/launcher_test.h"
#include "tests/support/log_reading.h"
#include "version.h"

namespace {

constexpr int kLineWaitSeconds = 60;

bool InBrokenDriverPrefix()
{
    return RunningUnderWine() && GetEnvironmentVariableW(L"ORVEL_BROKEN_DRIVER_PREFIX", nullptr, 0) > 0;
}

RunOptions WithBrokenDriver(const wchar_t* fault)
{
    RunOptions options;
    options.Environment = {std::wstring(L"ORVEL_FAULTY_DXGI=") + fault};
    return options;
}

bool StartsWith(const std::wstring& text, const std::wstring& start) { return text.rfind(start, 0) == 0; }

// The log's messages once it holds `last`, or what it holds after the wait.
std::vector<std::wstring> WaitForLine(const std::filesystem::path& log, const std::wstring& last)
{
    std::vector<std::wstring> lines;
    for (int i = 0; i < kLineWaitSeconds * 10; ++i) {
        lines = ReadLogMessages(log);
        if (!lines.empty() && lines.back() == last) break;
        Sleep(100);
    }
    return lines;
}

}  // namespace

class BrokenDriver : public LauncherTest {
protected:
    void SetUp() override
    {
        if (!InBrokenDriverPrefix()) GTEST_SKIP() << "replaces System32\\dxgi.dll; run by e2e_broken_driver";
        LauncherTest::SetUp();
        // The launcher alone takes System32's dxgi.dll as the driver's, not as
        // Wine's own placeholder.
        SetRegistry(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\OrvelLauncher.exe\\DllOverrides", L"dxgi",
                    StringValue(L"native"));
        wchar_t system[MAX_PATH] = {};
        GetSystemDirectoryW(system, MAX_PATH);
        const auto driver = TestProgramFolder() / L"faulty" / L"dxgi.dll";
        ASSERT_TRUE(CopyFileW(driver.c_str(), (std::filesystem::path(system) / L"dxgi.dll").c_str(), FALSE))
            << GetLastError();
    }

    // The lines of a run up to the adapter probe.
    std::vector<std::wstring> LinesBeforeTheProbe(const LauncherSandbox& sandbox) const
    {
        return {L"=== Orvel launcher başladı ===",
                L"Config yükleniyor: " + (sandbox.LauncherFolder() / L"Orvel.config.ini").wstring(),
                L"Config yüklendi."};
    }
};

TEST_F(BrokenDriver, CrashWhileListingAdaptersLeavesTheLinesAndWhereItCrashed)
{
    LauncherSandbox sandbox;
    sandbox.WriteConfig("# defaults\r\n");
    sandbox.PlaceGame();
    const RunResult run = sandbox.Run({L"-dx12"}, WithBrokenDriver(L"crash"));
    EXPECT_EQ(static_cast<DWORD>(run.ExitCode), static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION)) << LogText(run);
    EXPECT_FALSE(run.Game);
    ASSERT_EQ(run.Log.size(), 6u) << LogText(run);
    EXPECT_EQ(std::vector<std::wstring>(run.Log.begin(), run.Log.begin() + 3), LinesBeforeTheProbe(sandbox));
    EXPECT_TRUE(StartsWith(run.Log[3], FillIn(kLogCrash, {L"0xC0000005", L"dxgi.dll+0x"}))) << LogText(run);
    // The adapter probe and the run sequence, at least, are the launcher's.
    const std::wstring framesStart = FillIn(kLogCrashFrames, {L""});
    const std::wstring frames = run.Log[4].substr(framesStart.size());
    EXPECT_TRUE(StartsWith(run.Log[4], framesStart) && StartsWith(frames, L"OrvelLauncher.exe+0x") &&
                frames.find(L" OrvelLauncher.exe+0x") != std::wstring::npos)
        << LogText(run);
    const std::wstring build = FillIn(kLogCrashBuild, {L"" ORVEL_VERSION_TEXT, L""});
    ASSERT_TRUE(StartsWith(run.Log[5], build)) << LogText(run);
    const std::wstring id = run.Log[5].substr(build.size());
    EXPECT_EQ(id.size(), 32u) << LogText(run);
    EXPECT_TRUE(std::all_of(id.begin(), id.end(), [](wchar_t c) { return std::iswxdigit(c) && !std::iswupper(c); }));
}

// The console's own events (a closed window, Ctrl+C, Ctrl+Break) cannot be
// sent here: Wine's headless console refuses GenerateConsoleCtrlEvent.
TEST_F(BrokenDriver, ListingThatNeverReturnsLeavesTheLinesSoFarAfterTenSeconds)
{
    LauncherSandbox sandbox;
    sandbox.WriteConfig("# defaults\r\n");
    const UniqueHandle launcher{sandbox.Start({L"-dx12"}, WithBrokenDriver(L"hang"))};
    ASSERT_TRUE(launcher);
    std::vector<std::wstring> want = LinesBeforeTheProbe(sandbox);
    want.push_back(kLogStillRunning);
    EXPECT_EQ(WaitForLine(sandbox.LogFile(), kLogStillRunning), want);
    EXPECT_EQ(WaitForSingleObject(launcher.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the launcher ended";
}
