#include "hardware/cpu_identification.h"

#include "config/text_routines.h"
#include "log/log_messages.h"
#include "log/logger.h"

namespace {
constexpr long kSuccess = 0;
constexpr std::uint32_t kRegSz = 1;
}  // namespace

std::uint32_t ThreadCountFrom(unsigned activeProcessors, unsigned systemProcessors)
{
    if (activeProcessors != 0) return activeProcessors;
    if (systemProcessors != 0) return systemProcessors;
    return 1;
}

std::optional<std::wstring> ProcessorNameFrom(const RegistryValueRead& read)
{
    if (read.Status != kSuccess || read.Type != kRegSz) return std::nullopt;
    // UTF-16 little-endian units, up to the first NUL or the end of what was read.
    std::wstring name;
    for (std::size_t i = 0; i + 1 < read.Data.size(); i += 2) {
        const wchar_t unit = static_cast<wchar_t>(read.Data[i] | (read.Data[i + 1] << 8));
        if (unit == L'\0') break;
        name += unit;
    }
    return Trim(name);
}

void LogCpu(Logger& logger, const CpuInfo& cpu) { logger.Log(kLogCpu, cpu.Name, std::to_wstring(cpu.Threads)); }
