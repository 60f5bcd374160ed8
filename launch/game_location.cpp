#include "launch/game_location.h"

GameExeLocation FindGameExe(const std::filesystem::path& launcherFolder, const LauncherSettings& settings,
                            const GameExeTest& holdsGame)
{
    const std::filesystem::path beside = launcherFolder / settings.GameExeName;
    if (holdsGame(beside)) return {beside, true};
    const std::filesystem::path binaries = launcherFolder / L"Binaries" / L"Win64" / settings.GameExeName;
    if (holdsGame(binaries)) return {binaries, true};
    const std::filesystem::path above = launcherFolder.parent_path() / settings.GameExeName;
    if (holdsGame(above)) return {above, true};
    return {beside, false};
}
