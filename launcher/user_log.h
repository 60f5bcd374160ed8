#pragma once

#include <filesystem>

// Where the log goes when it cannot be written beside the launcher (a game
// under Program Files): "OrvelLauncher.log" in the player's own local
// application-data folder, below "Orvel", which is created when missing.
// Empty when that folder is not known, cannot be made, or the launcher runs
// elevated: a folder the unelevated user controls is no place for an
// administrator's writes.
std::filesystem::path UserLogFile();
