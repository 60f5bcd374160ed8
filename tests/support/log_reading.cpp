#include "tests/support/log_reading.h"

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"

namespace {

bool IsStamped(const std::wstring& line)
{
    // "[2026-12-07 07:07:10] "
    static const wchar_t shape[] = L"[dddd-dd-dd dd:dd:dd] ";
    if (line.size() < 22) return false;
    for (std::size_t i = 0; i < 22; ++i) {
        if (shape[i] == L'd' ? !(line[i] >= L'0' && line[i] <= L'9') : line[i] != shape[i]) return false;
    }
    return true;
}

}  // namespace

std::wstring DecodeUtf8(const std::string& bytes)
{
    std::wstring text;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const int length = lead < 0x80           ? 1
                           : (lead >> 5) == 0x6  ? 2
                           : (lead >> 4) == 0xE  ? 3
                           : (lead >> 3) == 0x1E ? 4
                                                 : 0;
        if (length == 0 || i + length > bytes.size()) {
            ADD_FAILURE() << "invalid UTF-8 at byte " << i;
            return text;
        }
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length; ++k) c = (c << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
        i += length;
        if constexpr (sizeof(wchar_t) == 2) {
            if (c >= 0x10000) {
                c -= 0x10000;
                text += static_cast<wchar_t>(0xD800 + (c >> 10));
                text += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
                continue;
            }
        }
        text += static_cast<wchar_t>(c);
    }
    return text;
}

std::vector<std::wstring> LogMessagesFrom(const std::string& bytes)
{
    std::vector<std::wstring> messages;
    const std::wstring text = DecodeUtf8(bytes);
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) {
            ADD_FAILURE() << "log ends without CR LF";
            break;
        }
        const std::wstring line = text.substr(start, end - start);
        EXPECT_TRUE(IsStamped(line)) << "malformed stamp in line " << messages.size() + 1;
        EXPECT_EQ(line.find_first_of(L"\r\n"), std::wstring::npos) << "stray CR or LF in line " << messages.size() + 1;
        messages.push_back(line.size() >= 22 ? line.substr(22) : line);
        start = end + 2;
    }
    return messages;
}

std::vector<std::wstring> ReadLogMessages(const std::filesystem::path& logFile)
{
    return LogMessagesFrom(ReadFileBytes(logFile));
}
