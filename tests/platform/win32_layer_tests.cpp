// The thin Win32 layer against the real system (Windows, or Wine's).
#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <regex>

#include "config/config_file.h"
#include "hardware/cpu_detection.h"
#include "hardware/gpu_dxgi.h"
#include "launch/game_command_line.h"
#include "launch/process_launch.h"
#include "launcher/own_path.h"
#include "log/logger.h"
#include "tests/support/captured_log.h"
#include "tests/support/command_line_split.h"
#include "tests/support/log_reading.h"
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

bool Matches(const std::wstring& text, const wchar_t* pattern) { return std::regex_match(text, std::wregex(pattern)); }

}  // namespace

TEST(Win32Layer, QuotedArgumentsComeBackWhole)
{
    const std::wstring rows[] = {
        L"plain",
        L"",
        L"two words",
        L"tab\there",
        L"\"",
        L"say \"hi\"",
        L"C:\\path\\",
        L"C:\\My Games\\",
        L"a\\\\\"b",
        L"\\\\\\\"",
        L"\\\\server\\share dir\\",
        L"ünïcødé ş",
        L"end\\\\",
    };
    for (const std::wstring& argument : rows) {
        SCOPED_TRACE(testing::PrintToString(argument));
        const std::vector<std::wstring> args = SplitBySystem(L"game.exe " + QuoteArgument(argument) + L" next");
        EXPECT_EQ(args, (std::vector<std::wstring>{L"game.exe", argument, L"next"}));
    }
}

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

TEST(Win32Layer, OwnPathIsThisProgram)
{
    const std::filesystem::path own = OwnExecutablePath();
    EXPECT_EQ(own.filename(), L"orvel_unit_tests.exe");
    EXPECT_TRUE(std::filesystem::exists(own));
}

TEST(Win32Layer, CpuIsReportedInOneLineWithAtLeastOneThread)
{
    CpuInfo cpu;
    const auto log = CapturedLog([&](Logger& logger) { cpu = DetectCpu(logger); });
    EXPECT_GE(cpu.Threads, 1u);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), L"CPU: " + cpu.Name + L", Threads=" + std::to_wstring(cpu.Threads));
    EXPECT_LE(log.size(), 2u);
}

TEST(Win32Layer, GpuIsReportedInExactlyOneLine)
{
    GpuInfo gpu;
    const auto log = CapturedLog([&](Logger& logger) { gpu = DetectGpu(logger); });
    ASSERT_EQ(log.size(), 1u);
    if (log[0] != L"DXGI Factory oluşturulamadı.") {
        EXPECT_TRUE(Matches(log[0], LR"(Seçilen GPU: .*, VRAM=\d+\.\d{6} GB)")) << testing::PrintToString(log[0]);
        EXPECT_NE(gpu.Name, L"");
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

TEST(Win32Layer, ConfigThatCannotBeOpenedKeepsDefaults)
{
    const TempFolder folder;
    const auto path = folder.Path() / L"Orvel.config.ini";
    const std::vector<std::wstring> cannotOpen{L"Config açılamadı, varsayılanlar kullanılacak."};

    // A folder in the file's place.
    std::filesystem::create_directory(path);
    LauncherSettings settings;
    EXPECT_EQ(CapturedLog([&](Logger& logger) { LoadConfig(path, settings, logger); }), cannotOpen);
    std::filesystem::remove(path);

    // A file another process holds without sharing.
    WriteFileBytes(path, "CpuThreadMinForDx12=1\n");
    const UniqueHandle held = OpenExisting(path, GENERIC_READ, 0);
    ASSERT_TRUE(held);
    EXPECT_EQ(CapturedLog([&](Logger& logger) { LoadConfig(path, settings, logger); }), cannotOpen);
    EXPECT_EQ(settings.CpuThreadMinForDx12, 8);
}

TEST(Win32Layer, RefusedStartReportsTheSystemErrorAndTwo)
{
    const TempFolder folder;
    const auto notAProgram = folder.Path() / L"veldmoor.exe";
    std::filesystem::create_directory(notAProgram);
    int code = -1;
    const auto log = CapturedLog(
        [&](Logger& logger) { code = LaunchGame(notAProgram, L"-DX12", notAProgram.parent_path(), logger); });
    EXPECT_EQ(code, 2);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(Matches(log[0], LR"(CreateProcessW başarısız\. Hata: [1-9]\d*)")) << testing::PrintToString(log[0]);
}
