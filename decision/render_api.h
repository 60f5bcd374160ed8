#pragma once

#include <string>

enum class RenderApi { DX11, DX12 };

// The switch the game receives: "-DX11" or "-DX12".
std::wstring SwitchText(RenderApi api);
