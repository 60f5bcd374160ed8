#include "launcher/run_trace_win32.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <exception>
#include <iterator>
#include <string>
#include <utility>
#if defined(_MSC_VER)
#include <intrin.h>
#endif

#include "launcher/crash_forensics_win32.h"
#include "launcher/crash_report.h"
#include "launcher/filter_chain_win32.h"
#include "launcher/run_trace.h"
#include "launcher/watchdog_win32.h"
#include "log/log_messages.h"
#include "log/logger.h"
#include "version.h"

namespace {

constexpr DWORD kStillRunningAfterMs = 10000;
constexpr wchar_t kVersion[] = L"" ORVEL_VERSION_TEXT;
constexpr DWORD kHeapCorruption = 0xC0000374;
// How libgcc raises a C++ exception (and its unwinding, 0x21474343 and
// 0x22474343); continuable, it asks whether any frame catches it, and
// std::terminate follows when none does.
constexpr DWORD kGccExceptionMask = 0x20FFFFFF;
constexpr DWORD kGccException = 0x20474343;
// Room for the handler's own frames, its buffers and a log write after a
// stack overflow on the main thread.
constexpr ULONG kStackKeptForTheCrashLines = 64 * 1024;
// What telling a crash takes of the faulting thread's stack: its own frames
// and buffers (about 11 KiB, measured), the pages at the stack's end that no
// code can use (8 KiB under Wine) and room to spare. With less left, the
// telling would overflow the stack, and the process would end without the
// system's own report, or the thread with the lines held.
constexpr std::size_t kStackTheCrashLinesNeed = 24 * 1024;
// Each handler's writing is bounded by Logger::kUrgentWaitMs; one still
// writing after this long has been stopped (in a debugger, say).
constexpr ULONGLONG kHandlerWaitMs = Logger::kUrgentWaitMs + 500;

// Everything the handlers need, made ready before anything can go wrong and
// kept for the life of the process: they run on threads and at moments that
// the run sequence does not choose, possibly while the run is ending.
struct TraceState {
    std::atomic<Logger*> Log{nullptr};  // null while no trace is open
    std::atomic<int> Writing{0};        // handlers holding Log
    std::atomic<unsigned> Generation{0};
    // One ending is told per run: a second crash, or a fault inside the
    // telling, goes on without lines.
    std::atomic<bool> Ended{false};
    std::atomic<bool> StillRunningWritten{false};
    wchar_t OwnName[MAX_PATH] = {};
    OwnImage Own;
    wchar_t BuildId[kBuildIdChars] = {};
};
TraceState trace;

// What the trace replaced, put back when it closes.
struct Replaced {
    PVOID HeapWatch = nullptr;
    std::terminate_handler Terminate = nullptr;
    void (*Abort)(int) = SIG_DFL;
#if defined(_MSC_VER)
    _purecall_handler PureCall = nullptr;
    _invalid_parameter_handler InvalidParameter = nullptr;
    unsigned AbortBehavior = 0;
#endif
};
Replaced replaced;

// A handler's hold on the logger; the trace waits for every hold to end
// before the logger may.
class TraceEntry {
public:
    TraceEntry() : log_((++trace.Writing, trace.Log.load())) {}
    ~TraceEntry() { --trace.Writing; }
    TraceEntry(const TraceEntry&) = delete;
    TraceEntry& operator=(const TraceEntry&) = delete;
    Logger* Sink() const { return log_; }

private:
    Logger* const log_;
};

bool FirstEnding() { return !trace.Ended.exchange(true); }

void WriteNowOnce(const LogMessage<0>& message)
{
    if (!FirstEnding()) return;
    const TraceEntry entry;
    if (Logger* const log = entry.Sink()) log->WriteNow(message);
}

bool RoomForTheCrashLines() { return StackLeft() >= kStackTheCrashLinesNeed; }

void WriteCrashLines(const EXCEPTION_POINTERS& info)
{
    const TraceEntry entry;
    Logger* const log = entry.Sink();
    if (!log) return;
    wchar_t faultModule[kModuleNameChars];
    CrashFacts facts;
    facts.ExceptionCode = info.ExceptionRecord->ExceptionCode;
    facts.Fault = Locate(reinterpret_cast<ULONG_PTR>(info.ExceptionRecord->ExceptionAddress), trace.Own, faultModule);
    if (info.ContextRecord) CollectOwnFrames(*info.ContextRecord, trace.Own, facts);
    CrashValues values;
    FormatCrashValues(facts, values);
    log->WriteNow({Logger::UrgentLine(kLogCrash, values.Code, values.Fault),
                   Logger::UrgentLine(kLogCrashFrames, values.Frames),
                   Logger::UrgentLine(kLogCrashBuild, kVersion, trace.BuildId)});
}

// Tells the crash, once per walk and once per run, if it is to be told.
void TellCrash(FilterWalk& walk, const EXCEPTION_POINTERS& info)
{
    if (!std::exchange(walk.LinesDue, false) || !FirstEnding()) return;
    walk.Told = true;
    WriteCrashLines(info);
}

// Heap corruption ends the process before any unhandled-exception filter
// runs; only a vectored handler sees it.
LONG CALLBACK LeaveHeapCorruptionTrace(EXCEPTION_POINTERS* info)
{
    if (info->ExceptionRecord->ExceptionCode == kHeapCorruption && RoomForTheCrashLines() && FirstEnding())
        WriteCrashLines(*info);
    return EXCEPTION_CONTINUE_SEARCH;
}

[[noreturn]] void LeaveTerminateTrace()
{
    WriteNowOnce(kLogTerminate);
    if (replaced.Terminate) replaced.Terminate();
    std::abort();
}

// The runtime's abort() ends the process with exit code 3 once this returns.
void LeaveAbortTrace(int) { WriteNowOnce(kLogAbort); }

#if defined(_MSC_VER)
// The runtime aborts once this returns.
void __cdecl LeavePureCallTrace() { WriteNowOnce(kLogPureVirtualCall); }

void __cdecl LeaveInvalidParameterTrace(const wchar_t*, const wchar_t*, const wchar_t*, unsigned, uintptr_t)
{
    WriteNowOnce(kLogInvalidParameter);
    // As the runtime's own handler ends it.
    __fastfail(FAST_FAIL_INVALID_ARG);
}
#endif

}  // namespace

LONG WINAPI LeaveCrashTrace(EXCEPTION_POINTERS* info)
{
    if (FilterWalk* const going = WalkOfThisThread()) {
        // A filter below handed on to the one it replaced. Any other
        // exception here is a fault inside a filter or the telling, and goes
        // straight on to the system.
        return info->ExceptionRecord == going->Record ? RunNextFilter(*going, info, TellCrash)
                                                      : EXCEPTION_CONTINUE_SEARCH;
    }
    const EXCEPTION_RECORD& record = *info->ExceptionRecord;
    FilterWalk* const walk = StartWalk(record, LeaveCrashTrace);
    if (!walk) return EXCEPTION_CONTINUE_SEARCH;
    const bool continuable = (record.ExceptionFlags & EXCEPTION_NONCONTINUABLE) == 0;
    // A C++ exception asking whether anyone catches it is no crash: without a
    // taker, std::terminate follows and tells it.
    walk->LinesDue =
        !(continuable && (record.ExceptionCode & kGccExceptionMask) == kGccException) && RoomForTheCrashLines();
    // No filter can let it go on.
    if (!continuable) TellCrash(*walk, *info);
    const LONG verdict = RunNextFilter(*walk, info, TellCrash);
    if (verdict != EXCEPTION_CONTINUE_EXECUTION) {
        // The system's own reporting runs next, and the process ends with the
        // exception's code.
        TellCrash(*walk, *info);
    } else if (walk->Told) {
        // A module's filter let the run go on after the lines were written:
        // a later ending is still told.
        trace.Ended = false;
    }
    EndWalk(*walk);
    return verdict;
}

BOOL WINAPI LeaveEndTrace(DWORD event)
{
    // Log-off and shut-down reach services only; a player's console process
    // is gone by then.
    if (event == CTRL_C_EVENT) WriteNowOnce(kLogEndedByCtrlC);
    if (event == CTRL_BREAK_EVENT) WriteNowOnce(kLogEndedByCtrlBreak);
    if (event == CTRL_CLOSE_EVENT) WriteNowOnce(kLogEndedByClose);
    // The next handler, the system's own, ends the process as it always would.
    return FALSE;
}

void LeaveStillRunningTrace()
{
    const TraceEntry entry;
    Logger* const log = entry.Sink();
    if (!log || trace.Ended.load()) return;
    log->WriteNow(kLogStillRunning);
    trace.StillRunningWritten = true;
}

void RunTrace::KeepCrashTraceFirst()
{
    const LPTOP_LEVEL_EXCEPTION_FILTER found = SetUnhandledExceptionFilter(LeaveCrashTrace);
    if (found != LeaveCrashTrace) AddFoundFilter(found);
}

RunTrace::RunTrace(Logger& logger, const std::filesystem::path& ownExe) : logger_(logger), startTick_(GetTickCount64())
{
    std::fill(std::begin(trace.OwnName), std::end(trace.OwnName), L'\0');
    const std::wstring ownName = ownExe.filename().wstring();
    ownName.copy(trace.OwnName, std::size(trace.OwnName) - 1);
    trace.Own = {reinterpret_cast<ULONG_PTR>(GetModuleHandleW(nullptr)), trace.OwnName};
    ReadBuildId(trace.Own.Base, trace.BuildId);
    trace.Ended = false;
    trace.StillRunningWritten = false;
    ++trace.Generation;
    trace.Log = &logger;

    ULONG stackKept = kStackKeptForTheCrashLines;
    SetThreadStackGuarantee(&stackKept);
    FindFiltersFrom(SetUnhandledExceptionFilter(LeaveCrashTrace));
    replaced.HeapWatch = AddVectoredExceptionHandler(0, LeaveHeapCorruptionTrace);
    replaced.Terminate = std::set_terminate(LeaveTerminateTrace);
    replaced.Abort = std::signal(SIGABRT, LeaveAbortTrace);
#if defined(_MSC_VER)
    replaced.PureCall = _set_purecall_handler(LeavePureCallTrace);
    replaced.InvalidParameter = _set_invalid_parameter_handler(LeaveInvalidParameterTrace);
    // The runtime's abort() would otherwise end the run with a fast fail
    // (0xC0000409) once the trace's SIGABRT handler returns, rather than
    // with exit code 3 as the MinGW-w64 build does.
    replaced.AbortBehavior = _set_abort_behavior(0, _CALL_REPORTFAULT);
#endif
    // After the console is prepared: AllocConsole empties the handler list.
    SetConsoleCtrlHandler(LeaveEndTrace, TRUE);
    StartWatchdog(kStillRunningAfterMs, trace.Generation, LeaveStillRunningTrace);
}

RunTrace::~RunTrace()
{
    trace.Log = nullptr;
    const ULONGLONG closed = GetTickCount64();
    while (trace.Writing.load() != 0 && GetTickCount64() - closed < kHandlerWaitMs) Sleep(1);

    // Each is put back only where it is still the launcher's: a module that
    // has set its own since keeps it.
    SetConsoleCtrlHandler(LeaveEndTrace, FALSE);
#if defined(_MSC_VER)
    _set_abort_behavior(replaced.AbortBehavior, _CALL_REPORTFAULT);
    if (_get_invalid_parameter_handler() == LeaveInvalidParameterTrace)
        _set_invalid_parameter_handler(replaced.InvalidParameter);
    if (_get_purecall_handler() == LeavePureCallTrace) _set_purecall_handler(replaced.PureCall);
#endif
    const auto abortHandler = std::signal(SIGABRT, replaced.Abort == SIG_ERR ? SIG_DFL : replaced.Abort);
    if (abortHandler != LeaveAbortTrace) std::signal(SIGABRT, abortHandler);
    if (std::get_terminate() == LeaveTerminateTrace) std::set_terminate(replaced.Terminate);
    if (replaced.HeapWatch) RemoveVectoredExceptionHandler(replaced.HeapWatch);
    // The newest filter found takes the launcher's place, and reaches the
    // older ones through it; a module's own filter, set after the last
    // KeepCrashTraceFirst, stays where it is.
    const LPTOP_LEVEL_EXCEPTION_FILTER current = SetUnhandledExceptionFilter(NewestFoundFilter());
    if (current != LeaveCrashTrace) SetUnhandledExceptionFilter(current);

    // The run went on after the still-running line: it was slow, not stuck.
    if (trace.StillRunningWritten.load()) {
        wchar_t seconds[24];
        std::swprintf(seconds, std::size(seconds), L"%llu",
                      static_cast<unsigned long long>((GetTickCount64() - startTick_) / 1000));
        logger_.WriteNow(kLogSlowRunEnded, seconds);
    }
}
