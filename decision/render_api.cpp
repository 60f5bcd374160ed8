#include "decision/render_api.h"

std::wstring SwitchText(RenderApi api) { return api == RenderApi::DX12 ? L"-DX12" : L"-DX11"; }
