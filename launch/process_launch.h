#pragma once

#include <filesystem>
#include <string>

class Logger;

// Starts the game and does not wait for it: 0 when the process was created,
// 2 (after logging why) when the command line is over the system's limit or
// the system refused the start.
int LaunchGame(const std::filesystem::path& exe, const std::wstring& argumentText,
               const std::filesystem::path& workingFolder, Logger& logger);
