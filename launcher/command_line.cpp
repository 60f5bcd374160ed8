#include "launcher/command_line.h"

#include "config/text_routines.h"
#include "log/log_messages.h"
#include "log/logger.h"

CommandLineScan ScanCommandLine(int argc, const wchar_t* const* argv, Logger& logger)
{
    CommandLineScan scan;
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        const std::wstring lower = LowerCaseCopy(argument);
        if (lower == L"-dx11")
            scan.ForceDx11 = true;
        else if (lower == L"-dx12")
            scan.ForceDx12 = true;
        else
            scan.PassThroughArgs.push_back(argument);
    }
    if (scan.ForceDx11 && scan.ForceDx12) {
        logger.Log(kLogBothSwitches);
        scan.ForceDx11 = false;
    }
    return scan;
}
