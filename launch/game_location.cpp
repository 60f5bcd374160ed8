#include "launch/game_location.h"

#include <system_error>

bool ExistsOrAbsent(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::exists(path, error) && !error;
}

std::filesystem::path FindGameExe(const std::filesystem::path& launcherFolder, const LauncherSettings& settings)
{
    const std::filesystem::path beside = launcherFolder / settings.GameExeName;
    if (ExistsOrAbsent(beside)) return beside;
    const std::filesystem::path binaries = launcherFolder / L"Binaries" / L"Win64" / settings.GameExeName;
    if (ExistsOrAbsent(binaries)) return binaries;
    const std::filesystem::path above = launcherFolder.parent_path() / settings.GameExeName;
    if (ExistsOrAbsent(above)) return above;
    return beside;
}
