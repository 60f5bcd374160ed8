#pragma once

#include "hardware/gpu_info.h"

class Logger;

// Enumerates the adapters through DXGI, chooses one and logs the choice (or
// the failure to create the factory). Never fails outward. `driverLoaded`,
// when given, is called once the factory has been asked for and again once
// the adapters are listed: the driver's DLLs may change the process then.
GpuInfo DetectGpu(Logger& logger, void (*driverLoaded)() = nullptr);
