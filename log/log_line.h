#pragma once

#include <cstddef>
#include <string>
#include <string_view>

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

// The same line as EncodeUtf8(FormatLogLine(time, message)), written into
// `out` without touching the heap, for code that runs when the process may be
// damaged. A message too long for `capacity` is cut at a character's end; the
// line still ends in CR LF. Returns the bytes written; `capacity` must hold
// the stamp and the line end (80 bytes).
std::size_t FormatLogLineUtf8(const LogTimestamp& time, std::wstring_view message, char* out,
                              std::size_t capacity) noexcept;
