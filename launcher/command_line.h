#pragma once

#include <string>
#include <vector>

class Logger;

struct CommandLineScan {
    bool ForceDx11 = false;
    bool ForceDx12 = false;
    std::vector<std::wstring> PassThroughArgs;
};

// Picks out the launcher's own "-dx11" and "-dx12" switches (any letter case,
// whole arguments only); every other argument after the launcher's own name
// is kept for the game, in order and unchanged.
CommandLineScan ScanCommandLine(int argc, const wchar_t* const* argv, Logger& logger);
