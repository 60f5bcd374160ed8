// A graphics driver that breaks while the launcher lists the adapters: the run
// still leaves its lines. The driver replaces System32\dxgi.dll, so these
// tests run only in a Wine prefix of their own (ctest's e2e_broken_driver),
// never in the suite's.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "launch/game_command_line.h"
#include "log/fill_in.h"
#include "log/log_messages.h"
#include "log/logger.h"
#include "tests/e2e/launcher_test.h"
#include "tests/support/log_reading.h"
#include "tests/support/open_existing.h"
#include "tests/support/wait_until.h"
#include "version.h"

namespace {

constexpr int kLineWaitSeconds = 60;

bool InBrokenDriverPrefix()
{
    return RunningUnderWine() && GetEnvironmentVariableW(L"ORVEL_BROKEN_DRIVER_PREFIX", nullptr, 0) > 0;
}

RunOptions WithBrokenDriver(const wchar_t* fault)
{
    RunOptions options;
    options.Environment = {std::wstring(L"ORVEL_FAULTY_DXGI=") + fault};
    return options;
}

bool StartsWith(const std::wstring& text, const std::wstring& start) { return text.rfind(start, 0) == 0; }

// The log's messages once it holds `last`, or what it holds after the wait.
std::vector<std::wstring> WaitForLine(const std::filesystem::path& log, const std::wstring& last)
{
    std::vector<std::wstring> lines;
    WaitUntil(
        [&] {
            lines = ReadLogMessages(log);
            return !lines.empty() && lines.back() == last;
        },
        kLineWaitSeconds);
    return lines;
}

}  // namespace

class BrokenDriver : public LauncherTest {
protected:
    void SetUp() override
    {
        if (!InBrokenDriverPrefix()) GTEST_SKIP() << "replaces System32\\dxgi.dll; run by e2e_broken_driver";
        LauncherTest::SetUp();
        // The launcher alone takes System32's dxgi.dll as the driver's, not as
        // Wine's own placeholder.
        SetRegistry(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\OrvelLauncher.exe\\DllOverrides", L"dxgi",
                    StringValue(L"native"));
        wchar_t system[MAX_PATH] = {};
        GetSystemDirectoryW(system, MAX_PATH);
        const auto driver = TestProgramFolder() / L"faulty" / L"dxgi.dll";
        ASSERT_TRUE(CopyFileW(driver.c_str(), (std::filesystem::path(system) / L"dxgi.dll").c_str(), FALSE))
            << GetLastError();
    }
};

namespace {

// The driver's image as its file holds it, read rather than loaded: the
// tests' own process would get Wine's dxgi.dll for the name.
class ImageFile {
public:
    explicit ImageFile(const std::filesystem::path& file) : bytes_(ReadFileBytes(file)) {}
    const IMAGE_NT_HEADERS& Headers() const
    {
        return *reinterpret_cast<const IMAGE_NT_HEADERS*>(
            bytes_.data() + reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes_.data())->e_lfanew);
    }
    // What lies at an address relative to the image's base, through the
    // section that holds it.
    template <typename T>
    const T* At(DWORD rva) const
    {
        const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(&Headers());
        for (WORD i = 0; i < Headers().FileHeader.NumberOfSections; ++i, ++section) {
            if (rva >= section->VirtualAddress && rva < section->VirtualAddress + section->SizeOfRawData)
                return reinterpret_cast<const T*>(bytes_.data() + section->PointerToRawData +
                                                  (rva - section->VirtualAddress));
        }
        return nullptr;
    }

private:
    std::string bytes_;
};

// Where the driver's faulting function lies in its image, from its export
// and its unwind data: [First, Last) as offsets from the image's base.
struct CodeRange {
    std::uint64_t First = 0;
    std::uint64_t Last = 0;
};

CodeRange FaultingFunction(const std::filesystem::path& driver)
{
    const ImageFile image(driver);
    const IMAGE_OPTIONAL_HEADER& header = image.Headers().OptionalHeader;
    const auto& exports =
        *image.At<IMAGE_EXPORT_DIRECTORY>(header.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress);
    DWORD fault = 0;
    for (DWORD i = 0; i < exports.NumberOfNames; ++i) {
        if (std::strcmp(image.At<char>(image.At<DWORD>(exports.AddressOfNames)[i]), "OrvelFaultyDxgiFault") == 0)
            fault = image.At<DWORD>(exports.AddressOfFunctions)[image.At<WORD>(exports.AddressOfNameOrdinals)[i]];
    }
    const IMAGE_DATA_DIRECTORY& unwind = header.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXCEPTION];
    const auto* functions = image.At<RUNTIME_FUNCTION>(unwind.VirtualAddress);
    for (std::size_t i = 0; fault != 0 && i < unwind.Size / sizeof(RUNTIME_FUNCTION); ++i) {
        if (functions[i].BeginAddress <= fault && fault < functions[i].EndAddress)
            return {functions[i].BeginAddress, functions[i].EndAddress};
    }
    return {};
}

// The name a symbol server files an image under: its time stamp and size.
std::wstring SymbolKey(const std::filesystem::path& driver)
{
    const ImageFile image(driver);
    wchar_t key[32];
    std::swprintf(key, 32, L"%08lX%lX", static_cast<unsigned long>(image.Headers().FileHeader.TimeDateStamp),
                  static_cast<unsigned long>(image.Headers().OptionalHeader.SizeOfImage));
    return key;
}

std::wstring Tail(const std::wstring& text, const std::wstring& start)
{
    return StartsWith(text, start) ? text.substr(start.size()) : L"(" + text + L")";
}

}  // namespace

TEST_F(BrokenDriver, CrashInTheDriverLeavesTheLinesAndWhereItCrashed)
{
    const auto driver = TestProgramFolder() / L"faulty" / L"dxgi.dll";
    const CodeRange faulting = FaultingFunction(driver);
    ASSERT_LT(faulting.First, faulting.Last) << "no unwind data for the driver's faulting function";
    enum class Frames { Launchers, None };
    struct Row {
        const wchar_t* fault;
        std::wstring module;  // as the crash line names it
        Frames frames;
        DWORD exitCode;
        std::string filtersRun;  // the driver's own filters, in the order they ran
        bool listed = false;     // the fault came once the adapters were listed
    };
    constexpr DWORD kFault = EXCEPTION_ACCESS_VIOLATION;
    const Row rows[] = {
        {L"crash", L"dxgi.dll", Frames::Launchers, kFault, ""},
        {L"thread", L"dxgi.dll", Frames::None, kFault, ""},     // on the driver's own thread
        {L"nameless", L"dxgi", Frames::Launchers, kFault, ""},  // by its PDB's name
        {L"anonymous", SymbolKey(driver), Frames::Launchers, kFault, ""},
        {L"filter", L"dxgi.dll", Frames::Launchers, kFault, "A"},  // the driver's own filter runs after
        // The driver's filter faults again: that goes straight on to the
        // system, with its own code, and the lines are not written twice.
        {L"twice", L"dxgi.dll", Frames::Launchers, 0xE0000002, ""},
        // Two filters, the newer handing on to the older; one set again
        // after the launcher's was put first: each runs once.
        {L"twofilters", L"dxgi.dll", Frames::Launchers, kFault, "BA", true},
        {L"again", L"dxgi.dll", Frames::Launchers, kFault, "A", true},
        // Two integer overflows that the runtime's filter lets go on, then a
        // fault: only the fault is told.
        {L"overflowed", L"dxgi.dll", Frames::None, kFault, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(r.fault)));
        LauncherSandbox sandbox;
        sandbox.WriteConfig("# defaults\r\n");
        sandbox.PlaceGame();
        const auto mark = sandbox.Root() / L"driver's filter ran";
        RunOptions options = WithBrokenDriver(r.fault);
        options.Environment.push_back(L"ORVEL_FAULTY_DXGI_MARK=" + mark.wstring());
        const RunResult run = sandbox.Run({L"-dx12"}, options);
        EXPECT_EQ(static_cast<DWORD>(run.ExitCode), r.exitCode) << LogText(run);
        EXPECT_FALSE(run.Game);
        std::vector<std::wstring> before = OpeningLinesAnd(sandbox, {});
        if (r.listed) before.push_back(FillIn(kLogGpuSelected, L"Unknown GPU", L"0.000000"));
        ASSERT_EQ(run.Log.size(), before.size() + 3) << LogText(run);
        EXPECT_EQ(std::vector<std::wstring>(run.Log.begin(), run.Log.end() - 3), before);

        const std::wstring offset = Tail(run.Log[before.size()], FillIn(kLogCrash, L"0xC0000005", r.module + L"+0x"));
        const std::uint64_t rva = std::wcstoull(offset.c_str(), nullptr, 16);
        EXPECT_TRUE(rva >= faulting.First && rva < faulting.Last) << LogText(run);

        const std::wstring frames = Tail(run.Log[before.size() + 1], FillIn(kLogCrashFrames, L""));
        if (r.frames == Frames::None) {
            EXPECT_EQ(frames, L"yok");
        } else {
            // The adapter probe and the run sequence, at least, are the launcher's.
            EXPECT_TRUE(StartsWith(frames, L"OrvelLauncher.exe+0x") &&
                        frames.find(L" OrvelLauncher.exe+0x") != std::wstring::npos)
                << LogText(run);
        }

        const std::wstring id = Tail(run.Log.back(), FillIn(kLogCrashBuild, L"" ORVEL_VERSION_TEXT, L""));
        EXPECT_EQ(id.size(), 32u) << LogText(run);
        EXPECT_TRUE(
            std::all_of(id.begin(), id.end(), [](wchar_t c) { return std::iswxdigit(c) && !std::iswupper(c); }));
        EXPECT_EQ(std::filesystem::exists(mark) ? ReadFileBytes(mark) : "", r.filtersRun);
    }
}

TEST_F(BrokenDriver, OtherEndsInTheDriverLeaveTheLinesAndWhatEndedTheRun)
{
    struct Row {
        const wchar_t* fault;
        std::wstring next;  // the line after the probe's, or its start
        std::size_t lines;  // in all
        DWORD exitCode;
    };
    const std::wstring unknownGpu = FillIn(kLogGpuSelected, L"Unknown GPU", L"0.000000");
    const Row rows[] = {
        {L"abort", kLogAbort.Text(), 4, 3},
        {L"throw", kLogUnexpectedException.Text(), 4, 2},
        // On the driver's own thread: its runtime's std::terminate aborts.
        {L"uncaught", kLogAbort.Text(), 4, 3},
        {L"msvcthrow", FillIn(kLogCrash, L"0xE06D7363", L"kernelbase.dll+0x"), 6, 0xE06D7363},
        {L"heap", FillIn(kLogCrash, L"0xC0000374", L"kernelbase.dll+0x"), 6, 0xC0000374},
        // Exceptions that the runtime's filter lets go on end nothing.
        {L"recover", unknownGpu, 8, 0},
        // Too little stack left on the faulting thread to tell it.
        {L"deepthread", L"", 0, EXCEPTION_ACCESS_VIOLATION},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(r.fault)));
        LauncherSandbox sandbox;
        sandbox.WriteConfig("# defaults\r\n");
        sandbox.PlaceGame();
        const RunResult run = sandbox.Run({L"-dx12"}, WithBrokenDriver(r.fault));
        EXPECT_EQ(static_cast<DWORD>(run.ExitCode), r.exitCode) << LogText(run);
        EXPECT_EQ(run.Game.has_value(), r.exitCode == 0);
        ASSERT_EQ(run.Log.size(), r.lines) << LogText(run);
        if (r.lines == 0) continue;
        EXPECT_EQ(std::vector<std::wstring>(run.Log.begin(), run.Log.begin() + 3), OpeningLinesAnd(sandbox, {}));
        EXPECT_TRUE(StartsWith(run.Log[3], r.next)) << LogText(run);
    }
}

// The console's own events (a closed window, Ctrl+C, Ctrl+Break) cannot be
// sent here: Wine's headless console refuses GenerateConsoleCtrlEvent.
TEST_F(BrokenDriver, ListingThatNeverReturnsLeavesTheLinesSoFarAfterTenSeconds)
{
    LauncherSandbox sandbox;
    sandbox.WriteConfig("# defaults\r\n");
    const UniqueHandle launcher{sandbox.Start({L"-dx12"}, WithBrokenDriver(L"hang"))};
    ASSERT_TRUE(launcher);
    std::vector<std::wstring> want = OpeningLinesAnd(sandbox, {});
    want.push_back(kLogStillRunning.Text());
    EXPECT_EQ(WaitForLine(sandbox.LogFile(), kLogStillRunning.Text()), want);
    EXPECT_EQ(WaitForSingleObject(launcher.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the launcher ended";
}

// An antivirus scanning the game, or a slow driver: the still-running line,
// once, and the run goes on to its end and says how long it took.
TEST_F(BrokenDriver, SlowListingThatEndsLeavesTheStillRunningLineAndTheRunsLength)
{
    LauncherSandbox sandbox;
    sandbox.WriteConfig("# defaults\r\n");
    const auto game = sandbox.PlaceGame();
    const ULONGLONG started = GetTickCount64();
    const UniqueHandle launcher{sandbox.Start({L"-dx12"}, WithBrokenDriver(L"slow"))};
    ASSERT_TRUE(launcher);
    std::vector<std::wstring> want = OpeningLinesAnd(sandbox, {});
    want.push_back(kLogStillRunning.Text());
    EXPECT_EQ(WaitForLine(sandbox.LogFile(), kLogStillRunning.Text()), want);
    const ULONGLONG seen = GetTickCount64() - started;
    EXPECT_TRUE(seen >= 9000 && seen <= 12000) << seen << " ms";
    ASSERT_EQ(WaitForSingleObject(launcher.get(), 60000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(launcher.get(), &code);
    EXPECT_EQ(code, 0u);
    const std::vector<std::wstring> log = ReadLogMessages(sandbox.LogFile());
    ASSERT_GE(log.size(), 6u);
    EXPECT_EQ(std::count(log.begin(), log.end(), std::wstring(kLogStillRunning.Text())), 1);
    EXPECT_EQ(log[log.size() - 3], L"Çalıştırılıyor: " + QuoteIfNeeded(game.wstring()) + L" -DX12");
    EXPECT_EQ(log[log.size() - 2], L"Orvel launcher çıktı (rc=0)");
    EXPECT_TRUE(log.back() == FillIn(kLogSlowRunEnded, L"12") || log.back() == FillIn(kLogSlowRunEnded, L"13"))
        << LogText(RunResult{0, log, {}});
}

// Another launcher stopped while it has its turn at the log (held by the
// system's error reporting, say) keeps a crashing run from the system's own
// reporting no longer than the logger's stated bound.
TEST_F(BrokenDriver, CrashWithTheLogsTurnHeldElsewhereIsKeptWaitingWithinTheBound)
{
    ULONGLONG took[2] = {};
    for (const bool held : {false, true}) {
        SCOPED_TRACE(held ? "turn held" : "turn free");
        LauncherSandbox sandbox;
        sandbox.WriteConfig("# defaults\r\n");
        WriteFileBytes(sandbox.LogFile(), "");
        const UniqueHandle holder =
            OpenExisting(sandbox.LogFile(), FILE_READ_DATA | FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE);
        ASSERT_TRUE(holder);
        if (held) {
            ASSERT_TRUE(TakeLogTurn(holder.get()));
        }
        const ULONGLONG start = GetTickCount64();
        const RunResult run = sandbox.Run({L"-dx12"}, WithBrokenDriver(L"crash"));
        took[held] = GetTickCount64() - start;
        EXPECT_EQ(static_cast<DWORD>(run.ExitCode), static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION)) << LogText(run);
        EXPECT_EQ(run.Log.size(), 6u) << LogText(run);
    }
    EXPECT_LE(took[1], took[0] + Logger::kUrgentWaitMs + 500) << took[0] << " ms free, " << took[1] << " ms held";
}
