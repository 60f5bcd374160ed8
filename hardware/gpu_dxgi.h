#pragma once

#include "hardware/gpu_info.h"

class Logger;

// Enumerates the adapters through DXGI, chooses one and logs the choice (or
// the failure to create the factory). Never fails outward.
GpuInfo DetectGpu(Logger& logger);
