// The thin Win32 layer against the real system (Windows, or Wine's).
#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <functional>
#include <thread>

#include "config/config_file.h"
#include "config/text_routines.h"
#include "launch/file_identity.h"
#include "launcher/crash_forensics_win32.h"
#include "launcher/run_trace.h"
#include "launcher/run_trace_win32.h"
#include "log/fill_in.h"
#include "log/log_messages.h"
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
    logger.Log(kLogBanner);
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

// The handlers as the system calls them: Wine sends no console events, but
// the functions can be called. Each writes the lines so far and its own once
// while the trace is open, hands on to the system, and writes nothing once the
// trace has closed.
TEST(Win32Layer, RunTraceHandlersWriteOnceWhileTheTraceIsOpenAndNothingAfter)
{
    CONTEXT context{};
    RtlCaptureContext(&context);
    EXCEPTION_RECORD record{};
    record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    record.ExceptionAddress = reinterpret_cast<void*>(context.Rip);
    EXCEPTION_POINTERS crash{&record, &context};
    struct Row {
        const char* what;
        std::function<LONG()> call;
        LONG returns;
        std::wstring first;  // the handler's first line, or its start
        std::size_t lines;
        bool ending;  // else it may be written again, and the run's length follows at the close
    };
    const Row rows[] = {
        {"Ctrl+C", [] { return LONG{LeaveEndTrace(CTRL_C_EVENT)}; }, FALSE, kLogEndedByCtrlC.Text(), 1, true},
        {"Ctrl+Break", [] { return LONG{LeaveEndTrace(CTRL_BREAK_EVENT)}; }, FALSE, kLogEndedByCtrlBreak.Text(), 1,
         true},
        {"closed window", [] { return LONG{LeaveEndTrace(CTRL_CLOSE_EVENT)}; }, FALSE, kLogEndedByClose.Text(), 1,
         true},
        {"log-off", [] { return LONG{LeaveEndTrace(CTRL_LOGOFF_EVENT)}; }, FALSE, L"", 0, true},
        {"crash", [&] { return LeaveCrashTrace(&crash); }, EXCEPTION_CONTINUE_SEARCH,
         FillIn(kLogCrash, L"0xC0000005", L"OrvelLauncher.exe+0x"), 3, true},
        {"still running", [] { return (LeaveStillRunningTrace(), LONG{0}); }, 0, kLogStillRunning.Text(), 1, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const TempFolder folder;
        const auto file = folder.Path() / L"OrvelLauncher.log";
        Logger logger(file);
        logger.Log(kLogBanner);
        {
            const RunTrace trace(logger, L"C:\\Games\\OrvelLauncher.exe");
            EXPECT_EQ(r.call(), r.returns);
            if (r.ending) {
                EXPECT_EQ(r.call(), r.returns);  // one ending per run
            }
            // Nothing to tell leaves the lines so far where they wait.
            const std::vector<std::wstring> log = ReadLogMessages(file);
            ASSERT_EQ(log.size(), r.lines == 0 ? 0 : 1 + r.lines);
            if (r.lines > 0) {
                EXPECT_EQ(log[0], kLogBanner.Text());
                EXPECT_EQ(log[1].rfind(r.first, 0), 0u) << testing::PrintToString(log[1]);
            }
        }
        std::vector<std::wstring> want = ReadLogMessages(file);
        if (!r.ending) {
            EXPECT_EQ(want.back(), FillIn(kLogSlowRunEnded, L"0"));
        }
        EXPECT_EQ(r.call(), r.returns);
        EXPECT_EQ(ReadLogMessages(file), want);
    }
}

// A thread in Log holds the lines while it waits for its turn at the file (a
// line longer than the lines' room goes straight there); another process
// holds that turn. An emergency's WriteNow waits for neither beyond its bound.
TEST(Win32Layer, WriteNowKeepsADyingRunWaitingNoLongerThanItsBound)
{
    const TempFolder folder;
    const auto file = folder.Path() / L"OrvelLauncher.log";
    WriteFileBytes(file, "");
    UniqueHandle holder = OpenExisting(file, FILE_READ_DATA | FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(holder);
    ASSERT_TRUE(TakeLogTurn(holder.get()));
    Logger logger(file);
    logger.Log(kLogBanner);
    std::thread inLog([&logger] { logger.Log(kLogStarting, std::wstring(100000, L'x')); });
    Sleep(200);
    const ULONGLONG start = GetTickCount64();
    logger.WriteNow(kLogStillRunning);
    const ULONGLONG took = GetTickCount64() - start;
    holder.reset();
    inLog.join();
    EXPECT_GE(took, 2000u);  // the turn was waited for, once
    EXPECT_LE(took, Logger::kUrgentWaitMs + 250u);
}

// What a crash line names: the launcher's own image by its file name, any
// other by the name it gives itself, and memory outside every image by its
// address alone.
TEST(Win32Layer, CrashForensicsNameTheImageThatHoldsAnAddress)
{
    const OwnImage own{reinterpret_cast<ULONG_PTR>(GetModuleHandleW(nullptr)), L"OrvelLauncher.exe"};
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    int onTheStack = 0;
    struct Row {
        const char* what;
        ULONG_PTR address;
        const wchar_t* module;
        ULONG_PTR base;
        bool code;
    };
    const Row rows[] = {
        {"own code", reinterpret_cast<ULONG_PTR>(&StackLeft), L"OrvelLauncher.exe", own.Base, true},
        {"ntdll's code", reinterpret_cast<ULONG_PTR>(GetProcAddress(ntdll, "RtlLookupFunctionEntry")), L"ntdll.dll",
         reinterpret_cast<ULONG_PTR>(ntdll), true},
        {"the stack", reinterpret_cast<ULONG_PTR>(&onTheStack), nullptr, 0, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        wchar_t name[kModuleNameChars];
        const CodeAddress found = Locate(r.address, own, name);
        EXPECT_EQ(found.Module ? std::wstring(found.Module) : L"", r.module ? r.module : L"");
        EXPECT_EQ(found.Offset, r.address - r.base);
        EXPECT_EQ(IsCode(reinterpret_cast<const void*>(r.address)), r.code);
    }
}
