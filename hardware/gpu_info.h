#pragma once

#include <string>

// The chosen graphics adapter; the defaults stand when none could be chosen.
struct GpuInfo {
    std::wstring Name = L"Unknown GPU";
    double VramGb = 0.0;  // dedicated video memory in units of 2^30 bytes, unrounded
};
