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

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Calls put(bytes, count) once per character, with its UTF-8 bytes.
template <typename Put>
void ForEachUtf8Character(std::wstring_view text, Put put)
{
    constexpr char32_t kReplacement = 0xFFFD;
    for (std::size_t i = 0; i < text.size(); ++i) {
        // wchar_t is UTF-16 on Windows and UTF-32 elsewhere; both decode here.
        char32_t c = static_cast<char32_t>(text[i]);
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(static_cast<char32_t>(text[i + 1]))) {
            const char32_t low = static_cast<char32_t>(text[++i]);
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c) || c > 0x10FFFF) {
            c = kReplacement;
        }
        char bytes[4];
        std::size_t count = 0;
        if (c < 0x80) {
            bytes[count++] = static_cast<char>(c);
        } else if (c < 0x800) {
            bytes[count++] = static_cast<char>(0xC0 | (c >> 6));
            bytes[count++] = static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            bytes[count++] = static_cast<char>(0xE0 | (c >> 12));
            bytes[count++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            bytes[count++] = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            bytes[count++] = static_cast<char>(0xF0 | (c >> 18));
            bytes[count++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            bytes[count++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            bytes[count++] = static_cast<char>(0x80 | (c & 0x3F));
        }
        if (!put(bytes, count)) return;
    }
}

// Zero-filled decimal of at least `width` digits, as "%0*d" prints a
// non-negative value.
std::size_t PutDecimal(int value, int width, char* out)
{
    char digits[12];
    std::size_t count = 0;
    unsigned rest = value < 0 ? 0u : static_cast<unsigned>(value);
    do {
        digits[count++] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    while (count < static_cast<std::size_t>(width)) digits[count++] = '0';
    for (std::size_t i = 0; i < count; ++i) out[i] = digits[count - 1 - i];
    return count;
}

}  // namespace

std::string EncodeUtf8(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    ForEachUtf8Character(text, [&out](const char* bytes, std::size_t count) {
        out.append(bytes, count);
        return true;
    });
    return out;
}

std::size_t FormatLogLineUtf8(const LogTimestamp& time, std::wstring_view message, char* out,
                              std::size_t capacity) noexcept
{
    constexpr std::size_t kStampAndEnd = 80;  // "[", six fields of up to 10 digits, separators, "] ", CR LF
    if (capacity < kStampAndEnd) return 0;
    std::size_t size = 0;
    const struct {
        int Value;
        int Width;
        char After;
    } fields[] = {{time.Year, 4, '-'}, {time.Month, 2, '-'},  {time.Day, 2, ' '},
                  {time.Hour, 2, ':'}, {time.Minute, 2, ':'}, {time.Second, 2, ']'}};
    out[size++] = '[';
    for (const auto& field : fields) {
        size += PutDecimal(field.Value, field.Width, out + size);
        out[size++] = field.After;
    }
    out[size++] = ' ';
    const std::size_t messageEnd = capacity - 2;
    ForEachUtf8Character(message, [&](const char* bytes, std::size_t count) {
        if (size + count > messageEnd) return false;
        for (std::size_t i = 0; i < count; ++i) out[size++] = bytes[i];
        return true;
    });
    out[size++] = '\r';
    out[size++] = '\n';
    return size;
}
