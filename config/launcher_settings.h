#pragma once

#include <cstdint>
#include <string>

// The launcher's tunable values; each field is named after the configuration
// key that sets it.
struct LauncherSettings {
    std::wstring GameExeName = L"veldmoor.exe";
    std::wstring GameArgs;
    std::int32_t CpuThreadMinForDx12 = 8;
    std::int32_t NvidiaMinRtxModel = 3070;
    std::int32_t AmdMinRxModel = 6800;
    std::int32_t MinVramGbForDx12 = 9;
    bool PreferDx12 = true;
};
