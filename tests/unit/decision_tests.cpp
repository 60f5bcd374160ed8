#include <gtest/gtest.h>

#include "decision/render_api_decision.h"
#include "log/logger.h"
#include "tests/support/captured_log.h"

namespace {

struct Decision {
    RenderApi Api;
    std::vector<std::wstring> Log;
};

Decision Decide(const GpuInfo& gpu, std::uint32_t threads, const LauncherSettings& settings = {})
{
    Decision decision{};
    decision.Log = CapturedLog([&](Logger& logger) { decision.Api = DecideRenderApi(gpu, threads, settings, logger); });
    return decision;
}

LauncherSettings With(const std::function<void(LauncherSettings&)>& change)
{
    LauncherSettings settings;
    change(settings);
    return settings;
}

}  // namespace

TEST(DecideRenderApi, FirstRuleThatAppliesDecidesWithOneLine)
{
    struct Row {
        const char* name;
        std::uint32_t threads;
        GpuInfo gpu;
        LauncherSettings settings;
        const wchar_t* line;
        RenderApi want;
    };
    const Row rows[] = {
        // The worked outcomes with the default thresholds.
        {"weak CPU", 4, {L"NVIDIA GeForce RTX 4090", 24.0}, {}, L"CPU zayıf: Threads=4 < 8 → DX11", RenderApi::DX11},
        {"RTX model high",
         16,
         {L"NVIDIA GeForce RTX 4070", 12.0},
         {},
         L"NVIDIA RTX tespit (model=4070)",
         RenderApi::DX12},
        {"RTX by memory",
         16,
         {L"NVIDIA GeForce RTX 3060", 12.0},
         {},
         L"NVIDIA RTX tespit (model=3060)",
         RenderApi::DX12},
        {"RTX too weak", 16, {L"NVIDIA GeForce RTX 3050", 8.0}, {}, L"NVIDIA RTX tespit (model=3050)", RenderApi::DX11},
        {"RX too weak", 16, {L"AMD Radeon RX 6600", 8.0}, {}, L"AMD RX tespit (model=6600)", RenderApi::DX11},
        {"RX model high", 16, {L"AMD Radeon RX 7900 XTX", 24.0}, {}, L"AMD RX tespit (model=7900)", RenderApi::DX12},
        {"tie-break", 16, {L"NVIDIA GeForce GTX 1660", 6.0}, {}, L"Sınır durum → PreferDx12=true", RenderApi::DX12},
        {"large memory",
         16,
         {L"Intel Arc A770", 16.0},
         {},
         L"Yüksek VRAM nedeniyle DX12 (16.000000 GB)",
         RenderApi::DX12},
        // Boundaries: equal thread count is not weak, equal model and memory choose DX12.
        {"threads at minimum", 8, {L"Other", 0.0}, {}, L"Sınır durum → PreferDx12=true", RenderApi::DX12},
        {"threads one below", 7, {L"Other", 0.0}, {}, L"CPU zayıf: Threads=7 < 8 → DX11", RenderApi::DX11},
        {"model at minimum", 8, {L"NVIDIA RTX 3070", 0.0}, {}, L"NVIDIA RTX tespit (model=3070)", RenderApi::DX12},
        {"RX at minimum", 8, {L"AMD Radeon RX 6800", 0.0}, {}, L"AMD RX tespit (model=6800)", RenderApi::DX12},
        {"RTX memory at minimum", 8, {L"NVIDIA RTX 2060", 9.0}, {}, L"NVIDIA RTX tespit (model=2060)", RenderApi::DX12},
        {"RX memory at minimum", 8, {L"AMD Radeon RX 580", 9.0}, {}, L"AMD RX tespit (model=580)", RenderApi::DX12},
        {"memory at minimum", 8, {L"Other", 9.0}, {}, L"Yüksek VRAM nedeniyle DX12 (9.000000 GB)", RenderApi::DX12},
        {"memory just below", 8, {L"Other", 8.999}, {}, L"Sınır durum → PreferDx12=true", RenderApi::DX12},
        {"8.0 meets 8",
         8,
         {L"Other", 8.0},
         With([](auto& s) { s.MinVramGbForDx12 = 8; }),
         L"Yüksek VRAM nedeniyle DX12 (8.000000 GB)",
         RenderApi::DX12},
        {"7.99 misses 8",
         8,
         {L"Other", 7.99609375},
         With([](auto& s) { s.MinVramGbForDx12 = 8; }),
         L"Sınır durum → PreferDx12=true",
         RenderApi::DX12},
        // RTX and RX adapters never reach the tie-break.
        {"RTX without number", 16, {L"NVIDIA RTX A4000", 8.0}, {}, L"NVIDIA RTX tespit (model=0)", RenderApi::DX11},
        {"RTX without number, minimum 0",
         16,
         {L"NVIDIA RTX A4000", 8.0},
         With([](auto& s) { s.NvidiaMinRtxModel = 0; }),
         L"NVIDIA RTX tespit (model=0)",
         RenderApi::DX12},
        {"RX below both, PreferDx12 set",
         16,
         {L"AMD Radeon RX 5500", 4.0},
         {},
         L"AMD RX tespit (model=5500)",
         RenderApi::DX11},
        {"both families: NVIDIA rule",
         16,
         {L"NVIDIA RTX 2060 Radeon RX 7900", 4.0},
         {},
         L"NVIDIA RTX tespit (model=2060)",
         RenderApi::DX11},
        // Thresholds of 0 or less.
        {"no CPU minimum",
         1,
         {L"Other", 0.0},
         With([](auto& s) { s.CpuThreadMinForDx12 = 0; }),
         L"Sınır durum → PreferDx12=true",
         RenderApi::DX12},
        {"negative CPU minimum",
         1,
         {L"Other", 0.0},
         With([](auto& s) { s.CpuThreadMinForDx12 = -1; }),
         L"Sınır durum → PreferDx12=true",
         RenderApi::DX12},
        {"huge CPU minimum",
         64,
         {L"Other", 0.0},
         With([](auto& s) { s.CpuThreadMinForDx12 = 2147483647; }),
         L"CPU zayıf: Threads=64 < 2147483647 → DX11",
         RenderApi::DX11},
        {"unknown GPU, memory minimum 0", 16, GpuInfo{}, With([](auto& s) { s.MinVramGbForDx12 = 0; }),
         L"Yüksek VRAM nedeniyle DX12 (0.000000 GB)", RenderApi::DX12},
        {"unknown GPU, memory minimum negative", 16, GpuInfo{}, With([](auto& s) { s.MinVramGbForDx12 = -5; }),
         L"Yüksek VRAM nedeniyle DX12 (0.000000 GB)", RenderApi::DX12},
        {"unknown GPU, tie-break", 16, GpuInfo{}, {}, L"Sınır durum → PreferDx12=true", RenderApi::DX12},
        {"PreferDx12 false", 16, GpuInfo{}, With([](auto& s) { s.PreferDx12 = false; }),
         L"Sınır durum → PreferDx12=false", RenderApi::DX11},
        {"unrounded memory printed",
         16,
         {L"Other", 12.0},
         {},
         L"Yüksek VRAM nedeniyle DX12 (12.000000 GB)",
         RenderApi::DX12},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const Decision decision = Decide(r.gpu, r.threads, r.settings);
        EXPECT_EQ(decision.Api, r.want);
        EXPECT_EQ(decision.Log, std::vector<std::wstring>{r.line});
    }
}

TEST(RenderApi, SwitchTextIsUpperCase)
{
    EXPECT_EQ(SwitchText(RenderApi::DX11), L"-DX11");
    EXPECT_EQ(SwitchText(RenderApi::DX12), L"-DX12");
}
