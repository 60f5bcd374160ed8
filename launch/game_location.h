#pragma once

#include <filesystem>
#include <functional>

#include "config/launcher_settings.h"

// Answers whether a path holds the game: something is there and it is not the
// launcher's own file.
using GameExeTest = std::function<bool(const std::filesystem::path&)>;

struct GameExeLocation {
    std::filesystem::path Path;  // where the game is; the first place looked when it is nowhere
    bool Found = false;
};

// The first of the launcher folder, its Binaries\Win64 subfolder and the
// folder above it that holds GameExeName, skipping the launcher itself (a
// launcher renamed to the game's name would otherwise start itself again and
// again). Each place is tested once, so the caller takes `Found` as it is
// rather than testing the place again.
GameExeLocation FindGameExe(const std::filesystem::path& launcherFolder, const LauncherSettings& settings,
                            const GameExeTest& holdsGame);
