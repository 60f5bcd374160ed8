#include "decision/render_api_decision.h"

#include "hardware/gpu_model.h"
#include "log/fill_in.h"
#include "log/log_messages.h"
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
        logger.Log(kLogCpuWeak, std::to_wstring(threads), std::to_wstring(settings.CpuThreadMinForDx12));
        return RenderApi::DX11;
    }

    std::int32_t model = 0;
    if (DetectNvidiaRtx(gpu.Name, model)) {
        logger.Log(kLogNvidiaRtx, std::to_wstring(model));
        return JudgeFamily(model, settings.NvidiaMinRtxModel, gpu, settings);
    }
    if (DetectAmdRx(gpu.Name, model)) {
        logger.Log(kLogAmdRx, std::to_wstring(model));
        return JudgeFamily(model, settings.AmdMinRxModel, gpu, settings);
    }

    if (HasEnoughVram(gpu, settings)) {
        logger.Log(kLogHighVram, FormatFixed6(gpu.VramGb));
        return RenderApi::DX12;
    }

    logger.Log(kLogBorderline, settings.PreferDx12 ? L"true" : L"false");
    return settings.PreferDx12 ? RenderApi::DX12 : RenderApi::DX11;
}
