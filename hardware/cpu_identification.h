#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hardware/cpu_info.h"

class Logger;

// The outcome of reading the processor name from the registry, as plain data.
struct RegistryValueRead {
    long Status = 0;                  // the registry call's result; 0 is success
    std::uint32_t Type = 0;           // 1 is REG_SZ
    std::vector<unsigned char> Data;  // the bytes the read returned
};

// The largest name the read accepts: 256 UTF-16 units, the NUL included.
constexpr std::uint32_t kProcessorNameBufferBytes = 512;

// The active processor count, then the system's processor count, then 1.
std::uint32_t ThreadCountFrom(unsigned activeProcessors, unsigned systemProcessors);

// The trimmed name, or nothing when the read failed or was not a REG_SZ.
std::optional<std::wstring> ProcessorNameFrom(const RegistryValueRead& read);

// Logs "CPU: <name>, Threads=<count>".
void LogCpu(Logger& logger, const CpuInfo& cpu);
