#include <gtest/gtest.h>

#include <optional>

#include "launch/file_identity.h"
#include "launch/game_command_line.h"
#include "tests/support/captured_log.h"
#include "tests/support/command_line_split.h"

TEST(GameCommandLine, ExecutablePathIsQuotedOnlyWithBlanks)
{
    EXPECT_EQ(QuoteIfNeeded(L"C:\\Games\\veldmoor.exe"), L"C:\\Games\\veldmoor.exe");
    EXPECT_EQ(QuoteIfNeeded(L"C:\\Program Files\\Game\\veldmoor.exe"), L"\"C:\\Program Files\\Game\\veldmoor.exe\"");
    EXPECT_EQ(QuoteIfNeeded(L"C:\\Tab\there.exe"), L"\"C:\\Tab\there.exe\"");
    EXPECT_EQ(QuoteIfNeeded(L""), L"");
}

TEST(GameCommandLine, JoinPutsTheSeparatorBetweenNeighboursOnly)
{
    EXPECT_EQ(JoinArgs({}, L" "), L"");
    EXPECT_EQ(JoinArgs({L"-DX12"}, L" "), L"-DX12");
    EXPECT_EQ(JoinArgs({L"a", L"", L"b"}, L" "), L"a  b");
}

TEST(GameCommandLine, ArgumentsAreQuotedByTheWindowsRulesOnlyWhenNeeded)
{
    struct Row {
        std::wstring argument;
        std::wstring want;
    };
    const Row rows[] = {
        {L"-log", L"-log"},
        {L"C:\\path\\", L"C:\\path\\"},  // no blank: written as it is, backslashes and all
        {L"ünïcødé", L"ünïcødé"},
        {L"", L"\"\""},
        {L"Save Dir", L"\"Save Dir\""},
        {L"a\tb", L"\"a\tb\""},
        {L"say \"hi\"", L"\"say \\\"hi\\\"\""},
        {L"\"", L"\"\\\"\""},
        {L"C:\\My Games\\", L"\"C:\\My Games\\\\\""},  // trailing backslashes doubled before the closing quote
        {L"a\\\\\"b c", L"\"a\\\\\\\\\\\"b c\""},      // two backslashes then a quote: 5 backslashes and the quote
        {L"x\\y z", L"\"x\\y z\""},                    // backslashes not before a quote stay single
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::PrintToString(r.argument));
        EXPECT_EQ(QuoteArgument(r.argument), r.want);
    }
}

TEST(GameCommandLine, GameArgsComeFirstAsOnePieceThenTheSwitchThenPassThrough)
{
    LauncherSettings settings;
    EXPECT_EQ(BuildGameArgList(settings, RenderApi::DX12, {}), GameArgList{L"-DX12"});

    settings.GameArgs = L"-windowed -nosplash";
    EXPECT_EQ(JoinArgs(BuildGameArgList(settings, RenderApi::DX11, {L"-log", L"-skipintro"}), L" "),
              L"-windowed -nosplash -DX11 -log -skipintro");

    settings.GameArgs = L"\"C:\\raw fragment\"";
    EXPECT_EQ(BuildGameArgList(settings, RenderApi::DX12, {L"two words", L""}),
              (GameArgList{L"\"C:\\raw fragment\"", L"-DX12", L"\"two words\"", L"\"\""}));
}

TEST(GameCommandLine, CommandLineIsTheQuotedPathASpaceAndTheArguments)
{
    EXPECT_EQ(GameCommandLine(L"C:\\Games\\veldmoor.exe", L"-DX12"), L"C:\\Games\\veldmoor.exe -DX12");
    EXPECT_EQ(GameCommandLine(L"C:\\Program Files\\Game\\veldmoor.exe", L"-DX12"),
              L"\"C:\\Program Files\\Game\\veldmoor.exe\" -DX12");
}

TEST(GameCommandLine, QuotedArgumentsSplitBackIntoTheSameArguments)
{
    const std::vector<std::wstring> args = {
        L"",    L"plain",   L"two words", L"tab\there", L"\"",       L"\"\"",        L"\\",
        L"a\\", L"a\\\\\"", L"\\\"a b",   L"x\\y z\\",  L"' \"\" '", L"ünïcødé ş ğ",
    };
    std::wstring commandLine = L"game.exe";
    for (const std::wstring& arg : args) commandLine += L" " + QuoteArgument(arg);
    std::vector<std::wstring> want = args;
    want.insert(want.begin(), L"game.exe");
    EXPECT_EQ(SplitCommandLine(commandLine), want);
}

TEST(GameCommandLine, LineOverTheSystemLimitIsRefusedWithItsLengthAndTheLimit)
{
    struct Row {
        std::size_t lengthWithNul;
        std::vector<std::wstring> want;
    };
    const Row rows[] = {
        {32766, {}},
        {32767, {}},
        {32768, {L"HATA: Komut satırı çok uzun: 32768 karakter, sınır 32767"}},
        {8 * 1024 * 1024, {L"HATA: Komut satırı çok uzun: 8388608 karakter, sınır 32767"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.lengthWithNul);
        const std::wstring commandLine = L"game.exe " + std::wstring(r.lengthWithNul - 10, L'a');
        EXPECT_EQ(CapturedLog([&](Logger& logger) {
                      if (!FitsCommandLineLimit(commandLine)) LogCommandLineTooLong(logger, commandLine);
                  }),
                  r.want);
    }
}

TEST(SameFile, IdentitiesCountOnlyWhenUsableAndWhole)
{
    constexpr std::uint64_t kAllOnes = ~std::uint64_t{0};
    const FileIdentity launcher{0x5EA1, 0x1234, 0, 4096, 1000};
    const auto with = [&](auto change) {
        FileIdentity identity = launcher;
        change(identity);
        return identity;
    };
    const FileIdentity none{};
    struct Row {
        const char* name;
        FileIdentity a;
        FileIdentity b;
        bool samePath;
        bool want;
        // Whether the system resolves both to one final path; asked only
        // where an identity cannot tell.
        bool sameFinalPath = false;
    };
    const Row rows[] = {
        {"the same file under another name", launcher, launcher, false, true},
        {"another file", launcher, with([](auto& i) { i.FileIdLow = 0x5678; }), false, false},
        {"another volume", launcher, with([](auto& i) { i.VolumeSerial = 0x5EA2; }), false, false},
        {"128-bit IDs alike", with([](auto& i) { i.FileIdHigh = 7; }), with([](auto& i) { i.FileIdHigh = 7; }), false,
         true},
        {"128-bit IDs apart in the high half", with([](auto& i) { i.FileIdHigh = 7; }), launcher, false, false},
        {"index 0 on both", with([](auto& i) { i.FileIdLow = 0; }), with([](auto& i) { i.FileIdLow = 0; }), false,
         false},
        {"index all ones on both", with([](auto& i) { i.FileIdLow = kAllOnes; }),
         with([](auto& i) { i.FileIdLow = kAllOnes; }), false, false},
        {"128-bit ID all ones on both", with([](auto& i) { i.FileIdLow = i.FileIdHigh = kAllOnes; }),
         with([](auto& i) { i.FileIdLow = i.FileIdHigh = kAllOnes; }), false, false},
        {"volume serial 0 on both", with([](auto& i) { i.VolumeSerial = 0; }),
         with([](auto& i) { i.VolumeSerial = 0; }), false, false},
        {"the size differs", launcher, with([](auto& i) { i.Size = 4097; }), false, false},
        {"the last-write time differs", launcher, with([](auto& i) { i.LastWriteTime = 1001; }), false, false},
        {"one identity missing, paths apart", launcher, none, false, false},
        {"one identity missing, paths equal", none, launcher, true, true},
        {"index 0, paths equal", with([](auto& i) { i.FileIdLow = 0; }), launcher, true, true},
        {"both missing, paths apart", none, none, false, false},
        {"both missing, paths equal", none, none, true, true},
        {"IDs that change between reads, paths equal", launcher, with([](auto& i) { i.FileIdLow = 0x9ABC; }), true,
         true},
        {"128-bit ID with a high half of all ones only", with([](auto& i) { i.FileIdHigh = kAllOnes; }),
         with([](auto& i) { i.FileIdHigh = kAllOnes; }), false, true},
        {"index 0, a junction or short name to the same file", with([](auto& i) { i.FileIdLow = 0; }),
         with([](auto& i) { i.FileIdLow = 0; }), false, true, true},
        {"volume serial 0 on one, final paths alike", with([](auto& i) { i.VolumeSerial = 0; }), launcher, false, true,
         true},
        {"one identity missing, final paths alike", none, launcher, false, true, true},
        {"usable IDs apart outweigh final paths alike", launcher, with([](auto& i) { i.FileIdLow = 0x5678; }), false,
         false, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(IsSameFile(r.a, r.b, r.samePath, [&] { return r.sameFinalPath; }), r.want);
    }
}
