#pragma once

#include <filesystem>

// Where the log goes when it cannot be written beside the launcher (a game
// under Program Files): "OrvelLauncher.log" in the player's own
// %LOCALAPPDATA%\Orvel. Empty when that folder is not known.
std::filesystem::path UserLogFile();
