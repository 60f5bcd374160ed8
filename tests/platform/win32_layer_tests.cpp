// The thin Win32 layer against the real system (Windows, or Wine's).
#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <cwchar>

#include "config/config_file.h"
#include "config/text_routines.h"
#include "launch/file_identity.h"
#include "log/logger.h"
#include "tests/support/captured_log.h"
#include "tests/support/command_line_split.h"
#include "tests/support/open_existing.h"
#include "tests/support/temp_folder.h"

namespace {

std::vector<std::wstring> SplitBySystem(const std::wstring& commandLine)
{
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(commandLine.c_str(), &count);
    std::vector<std::wstring> args(argv, argv + count);
    LocalFree(argv);
    return args;
}

}  // namespace

TEST(Win32Layer, TestSplitterAgreesWithCommandLineToArgvW)
{
    const std::wstring rows[] = {
        L"game.exe a b",
        L"\"C:\\Program Files\\game.exe\" -x \"y z\"",
        L"C:\\dir\\game.exe a\\\\b \"c\\\\\" d",
        L"game.exe \"a\\\"b\" a\\\\\\\"b \\\\\\\\\"a b\"",
        L"game.exe \"\"\"\" \"\"\"a\"\"\" \"a\"\"b\" \"\" \"\" x",
        L"game.exe a\"b c\"d \t\t e  ",
        L"game.exe \"unterminated \\ and more",
        L"game.exe a\\ \\\\ \\\"",
        L"game.exe \"\"\"\"\"\"\"",
        L"\"game\".exe x",
        L"game.exe ünïcødé \"ş ğ\"",
    };
    for (const std::wstring& commandLine : rows) {
        SCOPED_TRACE(testing::PrintToString(commandLine));
        EXPECT_EQ(SplitCommandLine(commandLine), SplitBySystem(commandLine));
    }
}

TEST(Win32Layer, LogFileIsSharedForReadingAndWritingWhileOpen)
{
    const TempFolder folder;
    const auto file = folder.Path() / L"OrvelLauncher.log";
    Logger logger(file);
    logger.Log(L"open");
    EXPECT_TRUE(OpenExisting(file, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE));
}

TEST(Win32Layer, FolderInTheConfigurationsPlaceCannotBeOpened)
{
    // A file held without sharing is covered end to end.
    const TempFolder folder;
    const auto path = folder.Path() / L"Orvel.config.ini";
    std::filesystem::create_directory(path);
    LauncherSettings settings;
    EXPECT_EQ(CapturedLog([&](Logger& logger) { LoadConfig(path, settings, logger); }),
              std::vector<std::wstring>{L"Config açılamadı, varsayılanlar kullanılacak."});
}

TEST(Win32Layer, IntegersSkipWhatBothRuntimesWcstolSkips)
{
    // The fixed set agrees with the runtime's own wcstol wherever the two
    // Windows runtimes agree (U+0085 is the one place they do not).
    struct Row {
        const wchar_t* text;
        std::int32_t want;
    };
    const Row rows[] = {{L"\u00A064", 64}, {L"\t\u00A0-7", -7}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(r.text)));
        std::int32_t target = 99;
        EXPECT_TRUE(TryParseInt(r.text, target));
        EXPECT_EQ(target, r.want);
        EXPECT_EQ(std::wcstol(r.text, nullptr, 10), r.want);
    }
}

TEST(Win32Layer, OnlyTheLaunchersOwnFileIsPassedOverWhateverItsName)
{
    const TempFolder folder;
    const auto exe = folder.Path() / L"OrvelLauncher.exe";
    WriteFileBytes(exe, "MZ");
    // A copy keeps the size and the last-write time; only its file ID differs.
    ASSERT_TRUE(CopyFileW(exe.c_str(), (folder.Path() / L"copy.exe").c_str(), TRUE));
    ASSERT_TRUE(CreateHardLinkW((folder.Path() / L"linked.exe").c_str(), exe.c_str(), nullptr));
    WriteFileBytes(folder.Path() / L"larger.exe", "MZ and more");
    std::filesystem::create_directory(folder.Path() / L"folder.exe");
    struct Row {
        const wchar_t* name;
        bool holdsGame;
    };
    const Row rows[] = {
        {L"ORVELLAUNCHER.EXE", false}, {L"linked.exe", false}, {L"Sub\\..\\OrvelLauncher.exe", false},
        {L"copy.exe", true},           {L"larger.exe", true},  {L"folder.exe", true},
        {L"missing.exe", false},
    };
    const GameExeTest holdsGame = GameExeTestFor(exe);
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(r.name)));
        EXPECT_EQ(holdsGame(folder.Path() / r.name), r.holdsGame);
    }
}
