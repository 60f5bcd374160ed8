#include "tests/support/captured_log.h"

#include "log/logger.h"
#include "tests/support/log_reading.h"
#include "tests/support/temp_folder.h"

std::vector<std::wstring> CapturedLog(const std::function<void(Logger&)>& body)
{
    const TempFolder folder;
    const auto file = folder.Path() / L"OrvelLauncher.log";
    {
        Logger logger(file);
        body(logger);
    }
    return ReadLogMessages(file);
}
