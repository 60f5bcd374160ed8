// What a desktop gives the launcher: real console windows, and, under Wine's
// card table, real adapter names. Under Wine these run only in the display
// test (scripts/wine-run-x11); on Windows they run as they are.
#include "tests/e2e/launcher_test.h"

class RealDisplay : public LauncherTest {
protected:
    void SetUp() override
    {
        if (RunningUnderWine() && !GetEnvironmentVariableW(L"DISPLAY", nullptr, 0)) {
            GTEST_SKIP() << "needs Wine under an X display";
        }
        UseKnownMachine(false);
    }

    void UseCard(DWORD vendor, DWORD device)
    {
        SetRegistry(HKEY_CURRENT_USER, kWineDirect3DKey, L"VideoPciVendorID", DwordValue(vendor));
        SetRegistry(HKEY_CURRENT_USER, kWineDirect3DKey, L"VideoPciDeviceID", DwordValue(device));
    }
};

TEST_F(RealDisplay, RealCardNamesAreRecognisedAndDecided)
{
    REQUIRE_WINE("it picks the adapter from Wine's card table");
    struct Row {
        DWORD vendor;
        DWORD device;
        const wchar_t* name;
        const wchar_t* reason;
        const wchar_t* decision;
    };
    const Row rows[] = {
        {0x10de, 0x1e07, L"NVIDIA GeForce RTX 2080 Ti", L"NVIDIA RTX tespit (model=2080)", L"Karar: -DX11"},
        {0x1002, 0x73bf, L"Radeon RX 6800/6800 XT / 6900 XT", L"AMD RX tespit (model=6800)", L"Karar: -DX12"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(r.name)));
        UseCard(r.vendor, r.device);
        LauncherSandbox sandbox;
        sandbox.WriteConfig("CpuThreadMinForDx12=1\n");
        sandbox.PlaceGame();
        const RunResult run = sandbox.Run();
        ASSERT_GE(run.Log.size(), 7u);
        EXPECT_EQ(run.Log[3], L"Seçilen GPU: " + std::wstring(r.name) + L", VRAM=8.000000 GB");
        EXPECT_EQ(run.Log[5], r.reason);
        EXPECT_EQ(run.Log[6], r.decision);
        EXPECT_EQ(run.ExitCode, 0) << LogText(run);
    }
}

TEST_F(RealDisplay, LauncherWithoutAConsoleCreatesATitledConsoleWithItsIcons)
{
    LauncherSandbox sandbox;
    sandbox.PlaceGame();
    RunOptions options;
    options.CreationFlags = DETACHED_PROCESS;
    const RunResult run = sandbox.Run({L"-dx12"}, options);
    EXPECT_EQ(run.ExitCode, 0) << LogText(run);
    ASSERT_TRUE(run.Game);
    // The game inherits the launcher's console and reports what it sees.
    // Wine's console window does not keep icons sent to it, so the icons are
    // checked in the executable's resources instead.
    EXPECT_EQ(run.Game->Console.at(L"console_window"), L"1");
    EXPECT_EQ(run.Game->Console.at(L"console_title"), L"OrvelLauncher \u2014 DX Auto-Selector");
}
