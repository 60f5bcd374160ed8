
#include <windows.h>

#include "common/unique_handle.h"
#include "hardware/cpu_detection.h"
#include "hardware/cpu_identification.h"
#include "log/log_messages.h"
#include "log/logger.h"

namespace {

using UniqueKey = Unique<HKEY, &RegCloseKey>;

// Every active logical processor of every group. The runtimes' thread queries
// count less: MinGW's std::thread::hardware_concurrency only the process's
// affinity mask, so a player who narrows the launcher's affinity would be
// judged to have a weaker CPU, and Visual Studio 2022's only the current
// processor group (later toolsets count every group).
unsigned ActiveProcessorCount() { return GetActiveProcessorCount(ALL_PROCESSOR_GROUPS); }

unsigned SystemProcessorCount()
{
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors;
}

RegistryValueRead ReadProcessorName()
{
    RegistryValueRead read;
    UniqueKey key;
    read.Status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", 0, KEY_READ,
                                key.put());
    if (read.Status != ERROR_SUCCESS) return read;
    read.Data.resize(kProcessorNameBufferBytes);
    DWORD type = 0;
    DWORD size = kProcessorNameBufferBytes;
    read.Status = RegQueryValueExW(key.get(), L"ProcessorNameString", nullptr, &type, read.Data.data(), &size);
    read.Type = type;
    read.Data.resize(read.Status == ERROR_SUCCESS ? size : 0);
    return read;
}

}  // namespace

CpuInfo DetectCpu(Logger& logger)
{
    CpuInfo cpu;
    const unsigned active = ActiveProcessorCount();
    cpu.Threads = ThreadCountFrom(active, active == 0 ? SystemProcessorCount() : 0);

    if (std::optional<std::wstring> name = ProcessorNameFrom(ReadProcessorName())) {
        cpu.Name = std::move(*name);
    } else {
        logger.Log(kLogCpuNameUnreadable);
    }
    LogCpu(logger, cpu);
    return cpu;
}
