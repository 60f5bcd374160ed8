#include "log/log_line.h"

#include <cwchar>

std::wstring FormatLogLine(const LogTimestamp& time, const std::wstring& message)
{
    wchar_t stamp[64] = {};
    std::swprintf(stamp, 64, L"%04d-%02d-%02d %02d:%02d:%02d", time.Year, time.Month, time.Day, time.Hour, time.Minute,
                  time.Second);
    std::wstring line;
    line.reserve(message.size() + 25);
    line += L'[';
    line += stamp;
    line += L"] ";
    line += message;
    line += L"\r\n";
    return line;
}

namespace {

void AppendCodePoint(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::string EncodeUtf8(const std::wstring& text)
{
    constexpr char32_t kReplacement = 0xFFFD;
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (std::size_t i = 0; i < text.size(); ++i) {
        // wchar_t is UTF-16 on Windows and UTF-32 elsewhere; both decode here.
        char32_t c = static_cast<char32_t>(text[i]);
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(static_cast<char32_t>(text[i + 1]))) {
            const char32_t low = static_cast<char32_t>(text[++i]);
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c) || c > 0x10FFFF) {
            c = kReplacement;
        }
        AppendCodePoint(out, c);
    }
    return out;
}
