#include "launch/game_command_line.h"

#include "log/log_messages.h"
#include "log/logger.h"

std::wstring QuoteIfNeeded(const std::wstring& text)
{
    if (text.find_first_of(L" \t") == std::wstring::npos) return text;
    return L"\"" + text + L"\"";
}

std::wstring JoinArgs(const GameArgList& args, const std::wstring& separator)
{
    std::wstring joined;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i > 0) joined += separator;
        joined += args[i];
    }
    return joined;
}

std::wstring QuoteArgument(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;

    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are literal unless a double quote follows them; then
        // each one is doubled, and the quote itself gets one more.
        if (c == L'"') backslashes = backslashes * 2 + 1;
        quoted.append(backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');  // they precede the closing quote
    quoted += L'"';
    return quoted;
}

GameArgList BuildGameArgList(const LauncherSettings& settings, RenderApi api,
                             const std::vector<std::wstring>& passThroughArgs)
{
    GameArgList args;
    args.reserve(passThroughArgs.size() + 2);
    if (!settings.GameArgs.empty()) args.push_back(settings.GameArgs);
    args.push_back(SwitchText(api));
    for (const std::wstring& argument : passThroughArgs) args.push_back(QuoteArgument(argument));
    return args;
}

std::wstring GameCommandLine(const std::filesystem::path& exe, const std::wstring& argumentText)
{
    return QuoteIfNeeded(exe.wstring()) + L" " + argumentText;
}

bool FitsCommandLineLimit(const std::wstring& commandLine) { return commandLine.size() + 1 <= kCommandLineLimit; }

void LogCommandLineTooLong(Logger& logger, const std::wstring& commandLine)
{
    logger.Log(kLogCommandLineTooLong, std::to_wstring(commandLine.size() + 1), std::to_wstring(kCommandLineLimit));
}
