#pragma once

#include <cstdint>

#include "config/launcher_settings.h"
#include "decision/render_api.h"
#include "hardware/gpu_info.h"

class Logger;

// Chooses DX11 or DX12 by the first rule that applies: a weak CPU, an NVIDIA
// RTX adapter, an AMD RX adapter, large video memory, then PreferDx12. Logs
// exactly one line saying which rule decided.
RenderApi DecideRenderApi(const GpuInfo& gpu, std::uint32_t threads, const LauncherSettings& settings, Logger& logger);
