#include "hardware/gpu_selection.h"

#include "config/text_routines.h"
#include "log/log_messages.h"
#include "log/logger.h"
#include "log/number_format.h"

GpuInfo ChooseAdapter(const std::vector<AdapterDescription>& adapters)
{
    GpuInfo chosen;
    std::uint64_t bestBytes = 0;
    for (const AdapterDescription& adapter : adapters) {
        if (adapter.IsSoftware) continue;
        if (LowerCaseCopy(adapter.Name).find(L"microsoft basic") != std::wstring::npos) continue;
        if (adapter.DedicatedVideoMemory < bestBytes) continue;
        bestBytes = adapter.DedicatedVideoMemory;
        chosen.Name = adapter.Name;
        chosen.VramGb = static_cast<double>(adapter.DedicatedVideoMemory) / 1073741824.0;
    }
    return chosen;
}

void LogGpuSelection(Logger& logger, const GpuInfo& gpu)
{
    logger.Log(kLogGpuSelected, gpu.Name, FormatFixed6(gpu.VramGb));
}
