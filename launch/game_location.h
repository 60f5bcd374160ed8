#pragma once

#include <filesystem>
#include <functional>

#include "config/launcher_settings.h"

// Answers whether a path names the launcher's own executable.
using SameFileTest = std::function<bool(const std::filesystem::path&)>;

// The first of the launcher folder, its Binaries\Win64 subfolder and the
// folder above it that holds GameExeName, skipping the launcher itself (a
// launcher renamed to the game's name would otherwise start itself again and
// again); the first candidate when none qualifies.
std::filesystem::path FindGameExe(const std::filesystem::path& launcherFolder, const LauncherSettings& settings,
                                  const SameFileTest& isLauncher);

// Something exists at the path and it is not the launcher itself. An
// existence test that fails for a reason other than "not found" (access denied
// on a folder, say) counts as absent.
bool IsGameCandidate(const std::filesystem::path& path, const SameFileTest& isLauncher);
