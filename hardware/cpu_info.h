#pragma once

#include <cstdint>
#include <string>

struct CpuInfo {
    std::wstring Name = L"Unknown CPU";
    std::uint32_t Threads = 1;  // logical processors, never less than 1
};
