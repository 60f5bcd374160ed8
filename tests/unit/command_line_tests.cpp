#include <gtest/gtest.h>

#include "launcher/command_line.h"
#include "log/logger.h"
#include "tests/support/captured_log.h"

namespace {

struct ScanOutcome {
    CommandLineScan Scan;
    std::vector<std::wstring> Log;
};

ScanOutcome Scan(std::vector<std::wstring> args)
{
    args.insert(args.begin(), L"C:\\Games\\OrvelLauncher.exe");
    std::vector<const wchar_t*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    const int argc = static_cast<int>(argv.size());
    // A switch where a real argv holds its terminating null: a scan that read
    // past argc would pick it up.
    argv.push_back(L"-dx11");
    ScanOutcome outcome;
    outcome.Log = CapturedLog([&](Logger& logger) { outcome.Scan = ScanCommandLine(argc, argv.data(), logger); });
    return outcome;
}

}  // namespace

TEST(ScanCommandLine, SwitchesInAnyCaseAreConsumedAndTheRestKeptInOrder)
{
    struct Row {
        std::vector<std::wstring> args;
        bool dx11;
        bool dx12;
        std::vector<std::wstring> passThrough;
    };
    const Row rows[] = {
        {{}, false, false, {}},
        {{L"-DX12"}, false, true, {}},
        {{L"-Dx11"}, true, false, {}},
        {{L"-dx11", L"-dx11"}, true, false, {}},
        {{L"-log", L"-DX11", L"Save Dir", L"-SkipIntro"}, true, false, {L"-log", L"Save Dir", L"-SkipIntro"}},
        // Near misses are not switches; they go to the game unchanged.
        {{L"/dx12", L"--dx11", L"-dx11 ", L" -dx12", L"-dx1", L"-dx112", L"dx12", L"-dx12=1"},
         false,
         false,
         {L"/dx12", L"--dx11", L"-dx11 ", L" -dx12", L"-dx1", L"-dx112", L"dx12", L"-dx12=1"}},
        // Empty arguments are arguments too.
        {{L"", L"-a", L""}, false, false, {L"", L"-a", L""}},
        // A dotless capital I is not an I: towlower leaves it alone.
        {{L"-DX1\u0130"}, false, false, {L"-DX1\u0130"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::PrintToString(r.args));
        const ScanOutcome outcome = Scan(r.args);
        EXPECT_EQ(outcome.Scan.ForceDx11, r.dx11);
        EXPECT_EQ(outcome.Scan.ForceDx12, r.dx12);
        EXPECT_EQ(outcome.Scan.PassThroughArgs, r.passThrough);
        EXPECT_TRUE(outcome.Log.empty());
    }
}

TEST(ScanCommandLine, BothSwitchesLetDx12WinWithOneLine)
{
    const std::vector<std::wstring> orders[] = {
        {L"-dx11", L"-dx12"},
        {L"-DX12", L"-x", L"-dx11"},
        {L"-dx11", L"-dx12", L"-Dx11", L"-dX12"},
    };
    for (const auto& args : orders) {
        SCOPED_TRACE(testing::PrintToString(args));
        const ScanOutcome outcome = Scan(args);
        EXPECT_FALSE(outcome.Scan.ForceDx11);
        EXPECT_TRUE(outcome.Scan.ForceDx12);
        EXPECT_EQ(outcome.Log, std::vector<std::wstring>{L"Hem -dx11 hem -dx12 verildi, -dx12 öncelikli."});
    }
}
