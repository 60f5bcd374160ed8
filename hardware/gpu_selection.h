#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hardware/gpu_info.h"

class Logger;

// What the adapter choice needs to know of one enumerated adapter.
struct AdapterDescription {
    std::wstring Name;
    std::uint64_t DedicatedVideoMemory = 0;  // bytes
    bool IsSoftware = false;
};

// Skips software and "microsoft basic" adapters and picks the one with the
// most dedicated memory; on a tie the later one wins.
GpuInfo ChooseAdapter(const std::vector<AdapterDescription>& adapters);

// Logs "Seçilen GPU: <name>, VRAM=<GiB with six decimals> GB".
void LogGpuSelection(Logger& logger, const GpuInfo& gpu);
