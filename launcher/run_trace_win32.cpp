#include "launcher/run_trace_win32.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iterator>
#include <string>
#if defined(_MSC_VER)
#include <intrin.h>
#endif

#include "launcher/crash_report.h"
#include "launcher/run_trace.h"
#include "log/log_messages.h"
#include "log/logger.h"
#include "version.h"

namespace {

constexpr DWORD kStillRunningAfterMs = 10000;
constexpr wchar_t kVersion[] = L"" ORVEL_VERSION_TEXT;
constexpr DWORD kHeapCorruption = 0xC0000374;
// Room for the handler's own frames (about 12 KiB), its buffers and a log
// write after a stack overflow.
constexpr ULONG kStackKeptForTheCrashLines = 64 * 1024;
// The watchdog only waits and writes one line.
constexpr SIZE_T kWatchStackReserve = 64 * 1024;
constexpr ULONG kWatchStackKept = 32 * 1024;
constexpr int kMaxUnwindSteps = 256;
constexpr std::size_t kModuleNameChars = 64;
// Every handler's own waits are bounded (the pending lines, the log file's
// turn); one still writing after this long is frozen, in a debugger say.
constexpr ULONGLONG kHandlerWaitMs = 30000;

// Everything the handlers need, made ready before anything can go wrong and
// kept for the life of the process: they run on threads and at moments that
// the run sequence does not choose, possibly while the run is ending.
struct TraceState {
    std::atomic<Logger*> Log{nullptr};  // null while no trace is open
    std::atomic<int> Writing{0};        // handlers holding Log
    std::atomic<unsigned> Generation{0};
    // One ending is told per run: a second crash, a fault inside the
    // telling, or a module's filter that hands back to the launcher's goes
    // straight on to the system.
    std::atomic<bool> Ended{false};
    std::atomic<bool> StillRunningWritten{false};
    std::atomic<LPTOP_LEVEL_EXCEPTION_FILTER> Chained{nullptr};
    ULONG_PTR OwnBase = 0;
    wchar_t OwnName[MAX_PATH] = {};
    wchar_t BuildId[40] = {};
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

// How many bytes from `address` on are committed and readable, up to the end
// of their region.
std::size_t ReadableBytes(ULONG_PTR address)
{
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof region) == 0) return 0;
    constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                                PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    if (region.State != MEM_COMMIT || (region.Protect & PAGE_GUARD) || !(region.Protect & kReadable)) return 0;
    return reinterpret_cast<ULONG_PTR>(region.BaseAddress) + region.RegionSize - address;
}

bool Readable(ULONG_PTR address, std::size_t size) { return address != 0 && ReadableBytes(address) >= size; }

bool IsCode(const void* address)
{
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(address, &region, sizeof region) == 0 || region.State != MEM_COMMIT) return false;
    return (region.Protect & (PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY)) != 0;
}

const IMAGE_NT_HEADERS* ImageHeaders(ULONG_PTR base)
{
    if (!Readable(base, sizeof(IMAGE_DOS_HEADER))) return nullptr;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew <= 0) return nullptr;
    const ULONG_PTR ntAddress = base + static_cast<ULONG_PTR>(dos->e_lfanew);
    if (!Readable(ntAddress, sizeof(IMAGE_NT_HEADERS))) return nullptr;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(ntAddress);
    return nt->Signature == IMAGE_NT_SIGNATURE && nt->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR_MAGIC ? nt
                                                                                                          : nullptr;
}

const IMAGE_DATA_DIRECTORY* Directory(const IMAGE_NT_HEADERS& nt, int entry)
{
    if (nt.OptionalHeader.NumberOfRvaAndSizes <= static_cast<DWORD>(entry)) return nullptr;
    const IMAGE_DATA_DIRECTORY& directory = nt.OptionalHeader.DataDirectory[entry];
    return directory.VirtualAddress != 0 && directory.Size != 0 ? &directory : nullptr;
}

// The image's RSDS record (its CodeView debug entry): "RSDS", the GUID, the
// age, then the PDB's path. Null when it has none.
const unsigned char* CodeViewRecord(ULONG_PTR base, std::size_t& size)
{
    constexpr std::size_t kPathOffset = 24;
    const IMAGE_NT_HEADERS* nt = ImageHeaders(base);
    const IMAGE_DATA_DIRECTORY* directory = nt ? Directory(*nt, IMAGE_DIRECTORY_ENTRY_DEBUG) : nullptr;
    if (!directory || !Readable(base + directory->VirtualAddress, directory->Size)) return nullptr;
    const auto* entries = reinterpret_cast<const IMAGE_DEBUG_DIRECTORY*>(base + directory->VirtualAddress);
    for (std::size_t i = 0; i < directory->Size / sizeof(IMAGE_DEBUG_DIRECTORY); ++i) {
        const IMAGE_DEBUG_DIRECTORY& entry = entries[i];
        if (entry.Type != IMAGE_DEBUG_TYPE_CODEVIEW || entry.AddressOfRawData == 0 || entry.SizeOfData < kPathOffset)
            continue;
        const ULONG_PTR record = base + entry.AddressOfRawData;
        if (!Readable(record, entry.SizeOfData) || std::memcmp(reinterpret_cast<const void*>(record), "RSDS", 4) != 0)
            continue;
        size = entry.SizeOfData;
        return reinterpret_cast<const unsigned char*>(record);
    }
    return nullptr;
}

// The RSDS signature, as objdump -p prints it: the GUID's fields in their
// written order, lower-case.
void ReadBuildId(ULONG_PTR base, wchar_t (&out)[40])
{
    std::size_t size = 0;
    const unsigned char* record = CodeViewRecord(base, size);
    if (!record) return;
    GUID id;
    std::memcpy(&id, record + 4, sizeof id);
    std::swprintf(out, 40, L"%08lx%04x%04x%02x%02x%02x%02x%02x%02x%02x%02x", static_cast<unsigned long>(id.Data1),
                  id.Data2, id.Data3, id.Data4[0], id.Data4[1], id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5],
                  id.Data4[6], id.Data4[7]);
}

// Copies narrow text into `out`, at most until the end of readable memory.
bool CopyName(const char* name, std::size_t readable, wchar_t (&out)[kModuleNameChars])
{
    std::size_t i = 0;
    for (; i < readable && name[i] && i + 1 < kModuleNameChars; ++i) out[i] = static_cast<unsigned char>(name[i]);
    out[i] = L'\0';
    return i > 0;
}

// The name a module gives itself in its export directory ("dxgi.dll").
bool ReadExportName(ULONG_PTR base, wchar_t (&out)[kModuleNameChars])
{
    const IMAGE_NT_HEADERS* nt = ImageHeaders(base);
    const IMAGE_DATA_DIRECTORY* directory = nt ? Directory(*nt, IMAGE_DIRECTORY_ENTRY_EXPORT) : nullptr;
    if (!directory || !Readable(base + directory->VirtualAddress, sizeof(IMAGE_EXPORT_DIRECTORY))) return false;
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory->VirtualAddress);
    if (exports->Name == 0) return false;
    const ULONG_PTR name = base + exports->Name;
    return CopyName(reinterpret_cast<const char*>(name), ReadableBytes(name), out);
}

// The file name of the module's PDB without ".pdb" ("dxgi"), as its symbols
// are found by.
bool ReadPdbName(ULONG_PTR base, wchar_t (&out)[kModuleNameChars])
{
    std::size_t size = 0;
    const unsigned char* record = CodeViewRecord(base, size);
    if (!record) return false;
    const char* path = reinterpret_cast<const char*>(record + 24);
    const std::size_t length = strnlen(path, size - 24);
    std::size_t start = length;
    while (start > 0 && path[start - 1] != '\\' && path[start - 1] != '/') --start;
    std::size_t end = length;
    if (end - start > 4 && _strnicmp(path + end - 4, ".pdb", 4) == 0) end -= 4;
    return CopyName(path + start, end - start, out);
}

// The time stamp and image size in the form a symbol server files the image
// under ("5F3A2B1C6000"), for a module that names itself nowhere.
bool ReadSymbolKey(ULONG_PTR base, wchar_t (&out)[kModuleNameChars])
{
    const IMAGE_NT_HEADERS* nt = ImageHeaders(base);
    if (!nt) return false;
    std::size_t size = 0;
    auto hex = [&](std::uint32_t value, int width) {
        int digits = 8;
        while (digits > width && ((value >> (4 * (digits - 1))) & 0xF) == 0) --digits;
        for (int d = digits - 1; d >= 0; --d) out[size++] = L"0123456789ABCDEF"[(value >> (4 * d)) & 0xF];
    };
    hex(nt->FileHeader.TimeDateStamp, 8);
    hex(nt->OptionalHeader.SizeOfImage, 1);
    out[size] = L'\0';
    return true;
}

// The image that holds `address`: from its unwind data when it has some,
// else from the mapping; neither asks the loader, whose lock another thread
// may hold.
ULONG_PTR ImageBaseOf(ULONG_PTR address)
{
    DWORD64 base = 0;
    if (RtlLookupFunctionEntry(address, &base, nullptr) && base != 0) return static_cast<ULONG_PTR>(base);
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof region) == 0 || region.Type != MEM_IMAGE)
        return 0;
    return reinterpret_cast<ULONG_PTR>(region.AllocationBase);
}

CodeAddress Locate(ULONG_PTR address, wchar_t (&nameBuffer)[kModuleNameChars])
{
    const ULONG_PTR base = ImageBaseOf(address);
    if (base == 0) return {nullptr, address};
    if (base == trace.OwnBase) return {trace.OwnName, address - base};
    if (ReadExportName(base, nameBuffer) || ReadPdbName(base, nameBuffer) || ReadSymbolKey(base, nameBuffer))
        return {nameBuffer, address - base};
    return {nullptr, address};
}

// The launcher's own return addresses on the faulting thread's stack, walked
// from the exception's context with the images' unwind data, as the system's
// own unwinder does: the filter's frames are not the crash's.
void CollectOwnFrames(const CONTEXT& fault, CrashFacts& facts)
{
#if defined(_M_X64) || defined(__x86_64__)
    CONTEXT context = fault;
    ULONG_PTR stackLow = 0;
    ULONG_PTR stackHigh = 0;
    GetCurrentThreadStackLimits(&stackLow, &stackHigh);
    for (int step = 0; step < kMaxUnwindSteps; ++step) {
        const DWORD64 rsp = context.Rsp;
        if (rsp < stackLow || rsp + sizeof(DWORD64) > stackHigh) break;
        DWORD64 imageBase = 0;
        const PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context.Rip, &imageBase, nullptr);
        if (step > 0 && function && imageBase == trace.OwnBase && facts.OwnFrameCount < kMaxOwnFrames) {
            facts.OwnFrames[facts.OwnFrameCount++] = {trace.OwnName, context.Rip - imageBase};
        }
        if (function) {
            void* handlerData = nullptr;
            DWORD64 establisherFrame = 0;
            RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, context.Rip, function, &context, &handlerData,
                             &establisherFrame, nullptr);
        } else if (step == 0) {
            // The faulting function may be a leaf, which keeps its return
            // address on top of the stack.
            context.Rip = *reinterpret_cast<const DWORD64*>(rsp);
            context.Rsp = rsp + sizeof(DWORD64);
        } else {
            // Above a frame without unwind data the stack cannot be read
            // reliably: old return addresses in dead slots look like frames.
            break;
        }
        if (context.Rip == 0 || context.Rsp <= rsp) break;
    }
#else
    (void)fault;
    (void)facts;
#endif
}

void WriteCrashLines(Logger& log, const EXCEPTION_POINTERS& info)
{
    wchar_t faultModule[kModuleNameChars];
    CrashFacts facts;
    facts.ExceptionCode = info.ExceptionRecord->ExceptionCode;
    facts.Fault = Locate(reinterpret_cast<ULONG_PTR>(info.ExceptionRecord->ExceptionAddress), faultModule);
    if (info.ContextRecord) CollectOwnFrames(*info.ContextRecord, facts);
    CrashValues values;
    FormatCrashValues(facts, values);
    log.WriteNow(kLogCrash, {values.Code, values.Fault});
    log.WriteNow(kLogCrashFrames, {values.Frames});
    log.WriteNow(kLogCrashBuild, {kVersion, trace.BuildId});
}

bool FirstEnding() { return !trace.Ended.exchange(true); }

// Heap corruption ends the process before any unhandled-exception filter
// runs; only a vectored handler sees it.
LONG CALLBACK LeaveHeapCorruptionTrace(EXCEPTION_POINTERS* info)
{
    if (info->ExceptionRecord->ExceptionCode != kHeapCorruption || !FirstEnding()) return EXCEPTION_CONTINUE_SEARCH;
    const TraceEntry entry;
    if (Logger* const log = entry.Sink()) WriteCrashLines(*log, *info);
    return EXCEPTION_CONTINUE_SEARCH;
}

[[noreturn]] void LeaveTerminateTrace()
{
    if (FirstEnding()) {
        const TraceEntry entry;
        if (Logger* const log = entry.Sink()) log->WriteNow(kLogTerminate);
    }
    if (replaced.Terminate) replaced.Terminate();
    std::abort();
}

// The runtime's abort() ends the process once this returns.
void LeaveAbortTrace(int)
{
    if (!FirstEnding()) return;
    const TraceEntry entry;
    if (Logger* const log = entry.Sink()) log->WriteNow(kLogAbort);
}

#if defined(_MSC_VER)
// The runtime aborts once this returns.
void __cdecl LeavePureCallTrace()
{
    if (!FirstEnding()) return;
    const TraceEntry entry;
    if (Logger* const log = entry.Sink()) log->WriteNow(kLogPureVirtualCall);
}

void __cdecl LeaveInvalidParameterTrace(const wchar_t*, const wchar_t*, const wchar_t*, unsigned, uintptr_t)
{
    if (FirstEnding()) {
        const TraceEntry entry;
        if (Logger* const log = entry.Sink()) log->WriteNow(kLogInvalidParameter);
    }
    // As the runtime's own handler ends it.
    __fastfail(FAST_FAIL_INVALID_ARG);
}
#endif

// Started and never waited for: the process ends it, and a trace that has
// closed or been made again in the meantime is not its trace.
DWORD WINAPI WatchForStillRunning(void* generation)
{
    ULONG stackKept = kWatchStackKept;
    SetThreadStackGuarantee(&stackKept);
    Sleep(kStillRunningAfterMs);
    if (trace.Generation.load() == static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(generation)))
        LeaveStillRunningTrace();
    return 0;
}

}  // namespace

LONG WINAPI LeaveCrashTrace(EXCEPTION_POINTERS* info)
{
    if (!FirstEnding()) return EXCEPTION_CONTINUE_SEARCH;
    {
        const TraceEntry entry;
        if (Logger* const log = entry.Sink()) WriteCrashLines(*log, *info);
    }
    // A module that set its own filter still has it run; one that has since
    // been unloaded does not.
    const LPTOP_LEVEL_EXCEPTION_FILTER chained = trace.Chained.load();
    if (chained && IsCode(reinterpret_cast<const void*>(chained))) return chained(info);
    // The system's own reporting still runs, and the process ends with the
    // exception's code.
    return EXCEPTION_CONTINUE_SEARCH;
}

BOOL WINAPI LeaveEndTrace(DWORD event)
{
    // Log-off and shut-down reach services only; a player's console process
    // is gone by then.
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
    if (FirstEnding()) {
        const TraceEntry entry;
        Logger* const log = entry.Sink();
        if (log && event == CTRL_C_EVENT) log->WriteNow(kLogEndedByCtrlC);
        if (log && event == CTRL_BREAK_EVENT) log->WriteNow(kLogEndedByCtrlBreak);
        if (log && event == CTRL_CLOSE_EVENT) log->WriteNow(kLogEndedByClose);
    }
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
    const LPTOP_LEVEL_EXCEPTION_FILTER current = SetUnhandledExceptionFilter(LeaveCrashTrace);
    if (current != LeaveCrashTrace) trace.Chained = current;
}

RunTrace::RunTrace(Logger& logger, const std::filesystem::path& ownExe) : logger_(logger), startTick_(GetTickCount64())
{
    trace.OwnBase = reinterpret_cast<ULONG_PTR>(GetModuleHandleW(nullptr));
    std::fill(std::begin(trace.OwnName), std::end(trace.OwnName), L'\0');
    const std::wstring ownName = ownExe.filename().wstring();
    ownName.copy(trace.OwnName, std::size(trace.OwnName) - 1);
    ReadBuildId(trace.OwnBase, trace.BuildId);
    trace.Ended = false;
    trace.StillRunningWritten = false;
    const unsigned generation = ++trace.Generation;
    trace.Log = &logger;

    ULONG stackKept = kStackKeptForTheCrashLines;
    SetThreadStackGuarantee(&stackKept);
    trace.Chained = SetUnhandledExceptionFilter(LeaveCrashTrace);
    replaced.HeapWatch = AddVectoredExceptionHandler(0, LeaveHeapCorruptionTrace);
    replaced.Terminate = std::set_terminate(LeaveTerminateTrace);
    replaced.Abort = std::signal(SIGABRT, LeaveAbortTrace);
#if defined(_MSC_VER)
    replaced.PureCall = _set_purecall_handler(LeavePureCallTrace);
    replaced.InvalidParameter = _set_invalid_parameter_handler(LeaveInvalidParameterTrace);
#endif
    // After the console is prepared: AllocConsole empties the handler list.
    SetConsoleCtrlHandler(LeaveEndTrace, TRUE);
    const HANDLE watch =
        CreateThread(nullptr, kWatchStackReserve, WatchForStillRunning,
                     reinterpret_cast<void*>(std::uintptr_t{generation}), STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (watch) CloseHandle(watch);
}

RunTrace::~RunTrace()
{
    trace.Log = nullptr;
    const ULONGLONG closed = GetTickCount64();
    while (trace.Writing.load() != 0 && GetTickCount64() - closed < kHandlerWaitMs) Sleep(1);

    SetConsoleCtrlHandler(LeaveEndTrace, FALSE);
#if defined(_MSC_VER)
    _set_invalid_parameter_handler(replaced.InvalidParameter);
    _set_purecall_handler(replaced.PureCall);
#endif
    std::signal(SIGABRT, replaced.Abort == SIG_ERR ? SIG_DFL : replaced.Abort);
    std::set_terminate(replaced.Terminate);
    if (replaced.HeapWatch) RemoveVectoredExceptionHandler(replaced.HeapWatch);
    // A module's own filter, set after the last KeepCrashTraceFirst, stays.
    const LPTOP_LEVEL_EXCEPTION_FILTER current = SetUnhandledExceptionFilter(trace.Chained.load());
    if (current != LeaveCrashTrace) SetUnhandledExceptionFilter(current);

    // The run went on after the still-running line: it was slow, not stuck.
    if (trace.StillRunningWritten.load()) {
        wchar_t seconds[24];
        std::swprintf(seconds, std::size(seconds), L"%llu",
                      static_cast<unsigned long long>((GetTickCount64() - startTick_) / 1000));
        logger_.WriteNow(kLogSlowRunEnded, {seconds});
    }
}
