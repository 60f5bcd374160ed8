#include <windows.h>

#include <string>

#include "launcher/user_log.h"

std::filesystem::path UserLogFile()
{
    const DWORD size = GetEnvironmentVariableW(L"LOCALAPPDATA", nullptr, 0);
    if (size == 0) return {};
    std::wstring folder(size, L'\0');
    folder.resize(GetEnvironmentVariableW(L"LOCALAPPDATA", folder.data(), size));
    // A relative value would put the log wherever the launcher was started from.
    const std::filesystem::path base(folder);
    if (!base.is_absolute()) return {};
    return base / L"Orvel" / L"OrvelLauncher.log";
}
