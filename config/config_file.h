#pragma once

#include <filesystem>
#include <istream>
#include <string>

#include "config/launcher_settings.h"

class Logger;

// Overrides settings from the configuration file at `path`, logging what
// happened. A missing or unreadable file leaves every setting as it was.
void LoadConfig(const std::filesystem::path& path, LauncherSettings& settings, Logger& logger);

// Applies every line of a configuration text, one byte per character, in order.
void ApplyConfigStream(std::istream& text, LauncherSettings& settings);

// Applies one line: "key = value", comments and unknown keys ignored.
void ApplyConfigLine(const std::wstring& line, LauncherSettings& settings);
