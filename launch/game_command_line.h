#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "config/launcher_settings.h"
#include "decision/render_api.h"

class Logger;

using GameArgList = std::vector<std::wstring>;

// Wraps the text in double quotes when it holds a space or a tab; nothing
// inside is escaped. Used for the executable path.
std::wstring QuoteIfNeeded(const std::wstring& text);

// The elements in order with `separator` between neighbours, written as they are.
std::wstring JoinArgs(const GameArgList& args, const std::wstring& separator);

// One argument written so that the Windows command-line rules (the C runtime's
// and CommandLineToArgvW's) give it back unchanged: an empty argument, or one
// holding a space, a tab or a double quote, is quoted and escaped; any other
// is written as it is.
std::wstring QuoteArgument(const std::wstring& argument);

// GameArgs as one piece when not empty, the switch, then every pass-through
// argument quoted so that it reaches the game intact.
GameArgList BuildGameArgList(const LauncherSettings& settings, RenderApi api,
                             const std::vector<std::wstring>& passThroughArgs);

// The command line handed to the system and shown in the log.
std::wstring GameCommandLine(const std::filesystem::path& exe, const std::wstring& argumentText);

// CreateProcessW takes at most this many characters (UTF-16 units), the
// terminating NUL included. Windows refuses a longer line; Wine starts it cut
// short, without the switch at its end. The launcher refuses it everywhere.
constexpr std::size_t kCommandLineLimit = 32767;

// Whether the command line, its terminating NUL included, fits in kCommandLineLimit.
bool FitsCommandLineLimit(const std::wstring& commandLine);

// Logs that the command line does not fit: its length, NUL included, and the
// limit.
void LogCommandLineTooLong(Logger& logger, const std::wstring& commandLine);
