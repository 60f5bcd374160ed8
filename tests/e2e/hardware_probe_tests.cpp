// The adapter and CPU probes through the real launcher, against Wine's DXGI
// and registry.
#include "tests/e2e/launcher_test.h"

namespace {

// The adapter and CPU lines of a run forced to DX11, which skips the decision.
std::vector<std::wstring> ProbeLines(const RunResult& run)
{
    std::vector<std::wstring> lines;
    for (std::size_t i = 2; i + 1 < run.Log.size() && run.Log[i].rfind(L"Karar: ", 0) != 0; ++i) {
        lines.push_back(run.Log[i]);
    }
    return lines;
}

}  // namespace

using HardwareProbes = LauncherTest;

TEST_F(HardwareProbes, AdapterMemoryIsPrintedUnrounded)
{
    REQUIRE_WINE("it sets the adapter's memory");
    struct Row {
        int mebibytes;
        const wchar_t* printed;
    };
    const Row rows[] = {{8192, L"8.000000"}, {8191, L"7.999023"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.mebibytes);
        SetAdapterMemoryMiB(r.mebibytes);
        LauncherSandbox sandbox;
        EXPECT_EQ(ProbeLines(sandbox.Run({L"-dx11"})), Lines({AdapterLine(r.printed), CpuLine()}));
    }
}

TEST_F(HardwareProbes, FactoryThatCannotBeCreatedLeavesTheUnknownGpu)
{
    REQUIRE_WINE("it switches the renderer off");
    // Without the no3d renderer and without a display, wined3d cannot start.
    SetRegistry(HKEY_CURRENT_USER, kWineDirect3DKey, L"renderer", std::nullopt);
    LauncherSandbox sandbox;
    sandbox.WriteConfig("CpuThreadMinForDx12=1\n");
    const RunResult run = sandbox.Run();
    EXPECT_EQ(run.Log, OpeningLinesAnd(sandbox, {
                                                    L"DXGI Factory oluşturulamadı.",
                                                    CpuLine(),
                                                    L"Sınır durum → PreferDx12=true",
                                                    L"Karar: -DX12",
                                                    L"HATA: Oyun exe bulunamadı: " +
                                                        (sandbox.LauncherFolder() / L"veldmoor.exe").wstring(),
                                                }));
    EXPECT_EQ(run.ExitCode, 1);
}

TEST_F(HardwareProbes, NarrowedAffinityStillCountsEveryProcessor)
{
    if (ExpectedThreads() < 2) GTEST_SKIP() << "needs a host with two processors or more";
    LauncherSandbox sandbox;
    RunOptions options;
    options.AffinityMask = 1;
    const RunResult run = sandbox.Run({L"-dx11"}, options);
    const std::wstring threads = L", Threads=" + Threads();
    const std::wstring cpu = ProbeLines(run).empty() ? L"" : ProbeLines(run).back();
    EXPECT_TRUE(cpu.size() > threads.size() && cpu.substr(cpu.size() - threads.size()) == threads) << LogText(run);
}

TEST_F(HardwareProbes, ProxyDxgiBesideTheLauncherIsNeverLoaded)
{
    LauncherSandbox sandbox;
    ASSERT_TRUE(CopyFileW((TestProgramFolder() / L"proxy\\dxgi.dll").c_str(),
                          (sandbox.LauncherFolder() / L"dxgi.dll").c_str(), FALSE));
    sandbox.PlaceGame();
    // The game, beside the same proxy, loads it the ordinary way: proof that
    // the proxy would be picked up by a program that did not guard against it.
    WriteFileBytes(sandbox.LauncherFolder() / L"stand_in_load_dxgi", "");
    // Wine prefers its own dxgi.dll; told to take a native one first, it
    // searches as Windows does, for both programs.
    if (RunningUnderWine()) {
        for (const wchar_t* program : {L"OrvelLauncher.exe", L"veldmoor.exe"}) {
            SetRegistry(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\" + std::wstring(program) + L"\\DllOverrides",
                        L"dxgi", StringValue(L"native,builtin"));
        }
    }
    const RunResult run = sandbox.Run({L"-dx11"});
    EXPECT_EQ(run.ExitCode, 0) << LogText(run);
    if (RunningUnderWine()) {
        EXPECT_EQ(ProbeLines(run), Lines({AdapterLine(L"8.000000"), CpuLine()}));
    }
    EXPECT_TRUE(std::filesystem::exists(sandbox.LauncherFolder() / L"proxy_dxgi_loaded_by_veldmoor.exe"));
    EXPECT_FALSE(std::filesystem::exists(sandbox.LauncherFolder() / L"proxy_dxgi_loaded_by_OrvelLauncher.exe"));
}

TEST_F(HardwareProbes, ProcessorNameVariantsInTheRegistry)
{
    REQUIRE_WINE("it writes the processor name to HKLM");
    const std::wstring unreadable = L"CPU adı registry'den okunamadı.";
    struct Row {
        const char* name;
        std::optional<RegistryValue> value;
        std::vector<std::wstring> lines;
    };
    const Row rows[] = {
        {"padded", StringValue(L"  \tOrvel CPU  "), {L"CPU: Orvel CPU, Threads=" + Threads()}},
        {"all blanks", StringValue(L"   "), {L"CPU: , Threads=" + Threads()}},
        {"255 units",
         StringValue(std::wstring(255, L'x')),
         {L"CPU: " + std::wstring(255, L'x') + L", Threads=" + Threads()}},
        {"300 units", StringValue(std::wstring(300, L'x')), {unreadable, L"CPU: Unknown CPU, Threads=" + Threads()}},
        {"REG_EXPAND_SZ",
         StringValue(L"Orvel CPU", REG_EXPAND_SZ),
         {unreadable, L"CPU: Unknown CPU, Threads=" + Threads()}},
        {"removed", std::nullopt, {unreadable, L"CPU: Unknown CPU, Threads=" + Threads()}},
        {"non-ASCII",
         StringValue(L"İşlemci ğ \u2192 \U0001F680"),
         {L"CPU: İşlemci ğ \u2192 \U0001F680, Threads=" + Threads()}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        SetRegistry(HKEY_LOCAL_MACHINE, kProcessorKey, L"ProcessorNameString", r.value);
        LauncherSandbox sandbox;
        std::vector<std::wstring> want{AdapterLine(L"8.000000")};
        want.insert(want.end(), r.lines.begin(), r.lines.end());
        EXPECT_EQ(ProbeLines(sandbox.Run({L"-dx11"})), want);
    }
}
