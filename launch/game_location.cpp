#include "launch/game_location.h"

#include <system_error>

namespace {

bool ExistsOrAbsent(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::exists(path, error) && !error;
}

}  // namespace

bool IsGameCandidate(const std::filesystem::path& path, const SameFileTest& isLauncher)
{
    return ExistsOrAbsent(path) && !isLauncher(path);
}

std::filesystem::path FindGameExe(const std::filesystem::path& launcherFolder, const LauncherSettings& settings,
                                  const SameFileTest& isLauncher)
{
    const std::filesystem::path beside = launcherFolder / settings.GameExeName;
    if (IsGameCandidate(beside, isLauncher)) return beside;
    const std::filesystem::path binaries = launcherFolder / L"Binaries" / L"Win64" / settings.GameExeName;
    if (IsGameCandidate(binaries, isLauncher)) return binaries;
    const std::filesystem::path above = launcherFolder.parent_path() / settings.GameExeName;
    if (IsGameCandidate(above, isLauncher)) return above;
    return beside;
}
