#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "log/fill_in.h"
#include "log/log_line.h"
#include "log/log_messages.h"
#include "log/logger.h"
#include "log/number_format.h"
#include "tests/support/log_reading.h"
#include "tests/support/temp_folder.h"

TEST(LogLine, StampIsZeroFilledAndLineEndsInOneCrLf)
{
    struct Row {
        LogTimestamp time;
        const wchar_t* message;
        const wchar_t* want;
    };
    const Row rows[] = {
        {{2027, 1, 5, 9, 3, 7}, L"Karar: -DX12", L"[2027-01-05 09:03:07] Karar: -DX12\r\n"},
        {{2026, 12, 31, 23, 59, 59}, L"", L"[2026-12-31 23:59:59] \r\n"},
        {{10000, 10, 10, 10, 10, 10}, L"x", L"[10000-10-10 10:10:10] x\r\n"},
        {{999, 1, 2, 3, 4, 5}, L"x", L"[0999-01-02 03:04:05] x\r\n"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.want);
        EXPECT_EQ(FormatLogLine(r.time, r.message), r.want);
    }
}

TEST(LogLine, FillInPutsValuesInOrderAndLeavesThemAsTheyAre)
{
    struct Row {
        const wchar_t* pattern;
        std::vector<std::wstring_view> values;
        const wchar_t* want;
    };
    const Row rows[] = {
        {L"CPU zayıf: Threads={} < {} → DX11", {L"4", L"8"}, L"CPU zayıf: Threads=4 < 8 → DX11"},
        {L"Config yükleniyor: {}", {L"C:\\{}\\Orvel.config.ini"}, L"Config yükleniyor: C:\\{}\\Orvel.config.ini"},
        {L"Karar: {}", {L""}, L"Karar: "},
        {L"{", {}, L"{"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.want);
        EXPECT_EQ(FillInPattern(r.pattern, r.values.data(), r.values.size()), r.want);
    }
    // The fixed-buffer form, filled to exactly its capacity and one short of
    // it: cut, terminated, and nothing written past the buffer.
    const std::wstring want = L"CPU zayıf: Threads=4 < 8 → DX11";
    for (const std::size_t capacity : {want.size() + 1, want.size()}) {
        SCOPED_TRACE(capacity);
        std::vector<wchar_t> buffer(capacity + 1, L'#');
        const std::wstring_view values[] = {L"4", L"8"};
        const std::size_t size = FillInto(buffer.data(), capacity, L"CPU zayıf: Threads={} < {} → DX11", values, 2);
        EXPECT_EQ(std::wstring(buffer.data(), size), want.substr(0, capacity - 1));
        EXPECT_EQ(buffer[size], L'\0');
        EXPECT_EQ(buffer[capacity], L'#');
    }
}

TEST(LogLine, Utf8KeepsEveryCharacter)
{
    struct Row {
        std::wstring text;
        std::string want;
    };
    const Row rows[] = {
        {L"şıçöüÇ", "\xC5\x9F\xC4\xB1\xC3\xA7\xC3\xB6\xC3\xBC\xC3\x87"},
        {L"\u2192", "\xE2\x86\x92"},
        {L"A\u00A0", "A\xC2\xA0"},
        // Both ends of each encoding length.
        {L"\u007F\u0080", "\x7F\xC2\x80"},
        {L"\u07FF\u0800", "\xDF\xBF\xE0\xA0\x80"},
        {L"\uFFFF", "\xEF\xBF\xBF"},
        {std::wstring{wchar_t(0xD840), wchar_t(0xDC00)}, "\xF0\xA0\x80\x80"},  // U+20000
        {std::wstring{wchar_t(0xDBFF), wchar_t(0xDFFF)}, "\xF4\x8F\xBF\xBF"},  // U+10FFFF
        // A pair of UTF-16 surrogates is one character, written in four bytes.
        // (In the native build wchar_t is 32 bits; the pair still arrives as
        // two units when the text came from UTF-16, and must still be joined.)
        {std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)}, "\xF0\x9F\x98\x80"},
        // A lone surrogate cannot be written as UTF-8; it becomes U+FFFD.
        {std::wstring{L'a', wchar_t(0xD800), L'b'},
         "a\xEF\xBF\xBD"
         "b"},
        {std::wstring{wchar_t(0xDC00)}, "\xEF\xBF\xBD"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::PrintToString(r.want));
        EXPECT_EQ(EncodeUtf8(r.text), r.want);
    }
}

TEST(LogLine, FixedBufferGivesTheSameLineAndCutsOnlyWholeCharacters)
{
    struct Row {
        std::wstring message;
        std::size_t capacity;
    };
    const Row rows[] = {
        {L"HATA: Orvel launcher çöktü → dxgi.dll+0x1A2B", 4096},
        {L"", 4096},
        {std::wstring{L'a', wchar_t(0xD800), L'b'}, 4096},
        {std::wstring(5000, L'ş'), 4096},
        // 22 bytes of stamp and 54 letters leave 2 bytes before the line end:
        // not enough for the three of "→".
        {std::wstring(54, L'a') + L"→c", 80},
    };
    const LogTimestamp time{2027, 1, 5, 9, 3, 7};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.capacity);
        std::vector<char> buffer(r.capacity);
        const std::string got(buffer.data(), FormatLogLineUtf8(time, r.message, buffer.data(), buffer.size()));
        const std::string whole = EncodeUtf8(FormatLogLine(time, r.message));
        if (whole.size() <= r.capacity) {
            EXPECT_EQ(got, whole);
            continue;
        }
        ASSERT_GE(got.size(), 2u);
        EXPECT_LE(got.size(), r.capacity);
        EXPECT_EQ(got.substr(got.size() - 2), "\r\n");
        // What is kept is the start of the whole line, ending on a character.
        const std::string kept = got.substr(0, got.size() - 2);
        EXPECT_EQ(whole.rfind(kept, 0), 0u);
        EXPECT_NE(static_cast<unsigned char>(whole[kept.size()]) & 0xC0, 0x80);
    }
    char tooSmall[10];
    EXPECT_EQ(FormatLogLineUtf8(time, L"x", tooSmall, sizeof tooSmall), 0u);
}

TEST(NumberFormat, FixedSixDecimals)
{
    struct Row {
        double value;
        const wchar_t* want;
    };
    const Row rows[] = {
        {8.0, L"8.000000"},        {3.9990234375, L"3.999023"}, {0.0, L"0.000000"},
        {7.99609375, L"7.996094"}, {16.0, L"16.000000"},        {1099511627776.0, L"1099511627776.000000"},
    };
    for (const Row& r : rows) EXPECT_EQ(FormatFixed6(r.value), r.want);
    // The largest finite double: 309 integer digits, none cut off.
    const std::wstring largest = FormatFixed6(std::numeric_limits<double>::max());
    EXPECT_EQ(largest.size(), 316u);
    EXPECT_EQ(largest.rfind(L"17976931348623157", 0), 0u);
    EXPECT_EQ(largest.substr(309), L".000000");
}

TEST(Logger, AppendsAfterExistingContentAndNeverTruncates)
{
    const TempFolder folder;
    const auto file = folder.Path() / L"OrvelLauncher.log";
    const std::string earlier = "[2020-01-01 00:00:00] earlier run\r\n";
    WriteFileBytes(file, earlier);
    {
        Logger logger(file);
        logger.Log(kLogBanner);
        logger.Log(kLogBorderline, L"true");
    }
    {
        Logger logger(file);
        logger.Log(kLogConfigLoaded);
    }
    const std::string bytes = ReadFileBytes(file);
    ASSERT_EQ(bytes.rfind(earlier, 0), 0u);
    EXPECT_EQ(LogMessagesFrom(bytes),
              (std::vector<std::wstring>{L"earlier run", L"=== Orvel launcher başladı ===",
                                         L"Sınır durum → PreferDx12=true", L"Config yüklendi."}));
}

TEST(Logger, LongRunsReachTheFileWhole)
{
    const TempFolder folder;
    const auto file = folder.Path() / L"OrvelLauncher.log";
    const std::wstring big(100000, L'ş');
    {
        Logger logger(file);
        for (int i = 0; i < 3; ++i) logger.Log(kLogStarting, big);
    }
    EXPECT_EQ(ReadLogMessages(file), (std::vector<std::wstring>(3, L"Çalıştırılıyor: " + big)));
}

TEST(Logger, UnopenableFileMakesLoggingSilent)
{
    const TempFolder folder;
    const auto file = folder.Path() / L"missing folder" / L"OrvelLauncher.log";
    {
        Logger logger(file);
        logger.Log(kLogBanner);
    }
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(Logger, WriteNowWritesTheLinesSoFarThenItsOwnAndTheRestFollowsAtTheEnd)
{
    const TempFolder folder;
    const auto file = folder.Path() / L"OrvelLauncher.log";
    {
        Logger logger(file);
        logger.Log(kLogBanner);
        logger.Log(kLogConfigLoaded);
        logger.WriteNow(kLogStillRunning);
        EXPECT_EQ(ReadLogMessages(file),
                  (std::vector<std::wstring>{L"=== Orvel launcher başladı ===", L"Config yüklendi.",
                                             L"Launcher 10 saniyedir bitmedi, hâlâ çalışıyor."}));
        logger.Log(kLogDecision, L"-DX12");
    }
    const std::vector<std::wstring> log = ReadLogMessages(file);
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log.back(), L"Karar: -DX12");
}
