#pragma once

#include <string>

// Local wall-clock time of one log line, to the second.
struct LogTimestamp {
    int Year = 0;
    int Month = 0;
    int Day = 0;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
};

// "[YYYY-MM-DD hh:mm:ss] " + message + CR LF.
std::wstring FormatLogLine(const LogTimestamp& time, const std::wstring& message);

// UTF-8 without BOM. A lone surrogate becomes U+FFFD rather than vanishing.
std::string EncodeUtf8(const std::wstring& text);
