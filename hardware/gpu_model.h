#pragma once

#include <cstdint>
#include <string>

// Whether an adapter name belongs to the NVIDIA RTX (or AMD Radeon RX) family,
// by keywords in any letter case. `model` receives the three or four digits
// that follow "rtx" (or "rx"), or 0 when the name carries none; a recognised
// name without a number still returns true.
bool DetectNvidiaRtx(const std::wstring& name, std::int32_t& model);
bool DetectAmdRx(const std::wstring& name, std::int32_t& model);
