
#include <windows.h>

#include <vector>

#include "common/unique_handle.h"
#include "launch/game_command_line.h"
#include "launch/process_launch.h"
#include "log/fill_in.h"
#include "log/log_messages.h"
#include "log/logger.h"

namespace {
using UniqueHandle = Unique<HANDLE, &CloseHandle>;
}  // namespace

int LaunchGame(const std::filesystem::path& exe, const std::wstring& argumentText,
               const std::filesystem::path& workingFolder, Logger& logger)
{
    const std::wstring commandLine = GameCommandLine(exe, argumentText);
    if (!FitsCommandLineLimit(commandLine)) {
        LogCommandLineTooLong(logger, commandLine);
        return 2;
    }
    // CreateProcessW may write into the command line it is given.
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &process)) {
        const DWORD error = GetLastError();
        logger.Log(kLogCreateProcessFailed, std::to_wstring(error));
        return 2;
    }
    // Closed at once, the thread first; the game runs on by itself.
    UniqueHandle game{process.hProcess};
    UniqueHandle thread{process.hThread};
    return 0;
}
