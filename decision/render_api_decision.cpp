#include "decision/render_api_decision.h"

#include "hardware/gpu_model.h"
#include "log/logger.h"
#include "log/number_format.h"

namespace {

bool HasEnoughVram(const GpuInfo& gpu, const LauncherSettings& settings)
{
    return gpu.VramGb >= static_cast<double>(settings.MinVramGbForDx12);
}

// A recognised family is judged by its model number, then by its memory, and
// never reaches the tie-break.
RenderApi JudgeFamily(std::int32_t model, std::int32_t minimumModel, const GpuInfo& gpu,
                      const LauncherSettings& settings)
{
    return model >= minimumModel || HasEnoughVram(gpu, settings) ? RenderApi::DX12 : RenderApi::DX11;
}

}  // namespace

RenderApi DecideRenderApi(const GpuInfo& gpu, std::uint32_t threads, const LauncherSettings& settings, Logger& logger)
{
    if (static_cast<std::int64_t>(threads) < settings.CpuThreadMinForDx12) {
        logger.Log(L"CPU zayıf: Threads=" + std::to_wstring(threads) + L" < " +
                   std::to_wstring(settings.CpuThreadMinForDx12) + L" → DX11");
        return RenderApi::DX11;
    }

    std::int32_t model = 0;
    if (DetectNvidiaRtx(gpu.Name, model)) {
        logger.Log(L"NVIDIA RTX tespit (model=" + std::to_wstring(model) + L")");
        return JudgeFamily(model, settings.NvidiaMinRtxModel, gpu, settings);
    }
    if (DetectAmdRx(gpu.Name, model)) {
        logger.Log(L"AMD RX tespit (model=" + std::to_wstring(model) + L")");
        return JudgeFamily(model, settings.AmdMinRxModel, gpu, settings);
    }

    if (HasEnoughVram(gpu, settings)) {
        logger.Log(L"Yüksek VRAM nedeniyle DX12 (" + FormatFixed6(gpu.VramGb) + L" GB)");
        return RenderApi::DX12;
    }

    logger.Log(std::wstring(L"Sınır durum → PreferDx12=") + (settings.PreferDx12 ? L"true" : L"false"));
    return settings.PreferDx12 ? RenderApi::DX12 : RenderApi::DX11;
}
