#pragma once

#include <filesystem>

#include "config/launcher_settings.h"

// The first of the launcher folder, its Binaries\Win64 subfolder and the
// folder above it that holds GameExeName; the first candidate when none does.
std::filesystem::path FindGameExe(const std::filesystem::path& launcherFolder, const LauncherSettings& settings);

// exists() that answers false, instead of failing, when the file system
// reports an error other than "not found" (access denied on a folder, say).
bool ExistsOrAbsent(const std::filesystem::path& path);
