#include <windows.h>

#include <atomic>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <string>

#include "launcher/crash_report.h"
#include "launcher/run_trace.h"
#include "log/log_messages.h"
#include "log/logger.h"
#include "version.h"

namespace {

constexpr DWORD kStillRunningAfterMs = 10000;
constexpr wchar_t kVersion[] = L"" ORVEL_VERSION_TEXT;
// Room for the handler's own frames, its buffers and a log write after a
// stack overflow.
constexpr ULONG kStackKeptForTheCrashLines = 64 * 1024;
constexpr int kMaxUnwindSteps = 64;
constexpr std::size_t kModuleNameChars = 64;

// Everything the handlers need, made ready before anything can go wrong: they
// run on threads and at moments that the run sequence does not choose.
struct TraceState {
    std::atomic<Logger*> Log{nullptr};
    ULONG_PTR OwnBase = 0;
    wchar_t OwnName[MAX_PATH] = {};
    wchar_t BuildId[40] = {};
};
TraceState trace;

const IMAGE_NT_HEADERS* ImageHeaders(ULONG_PTR base)
{
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return nt->Signature == IMAGE_NT_SIGNATURE ? nt : nullptr;
}

// The RSDS signature of the image's CodeView entry, as objdump -p prints it:
// the GUID's fields in their written order, lower-case.
void ReadBuildId(ULONG_PTR base, wchar_t (&out)[40])
{
    const IMAGE_NT_HEADERS* nt = ImageHeaders(base);
    if (!nt) return;
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DEBUG];
    if (directory.VirtualAddress == 0) return;
    const auto* entries = reinterpret_cast<const IMAGE_DEBUG_DIRECTORY*>(base + directory.VirtualAddress);
    for (std::size_t i = 0; i < directory.Size / sizeof(IMAGE_DEBUG_DIRECTORY); ++i) {
        const IMAGE_DEBUG_DIRECTORY& entry = entries[i];
        if (entry.Type != IMAGE_DEBUG_TYPE_CODEVIEW || entry.AddressOfRawData == 0 || entry.SizeOfData < 24) continue;
        const auto* record = reinterpret_cast<const unsigned char*>(base + entry.AddressOfRawData);
        if (std::memcmp(record, "RSDS", 4) != 0) continue;
        GUID id;
        std::memcpy(&id, record + 4, sizeof id);
        std::swprintf(out, 40, L"%08lx%04x%04x%02x%02x%02x%02x%02x%02x%02x%02x", static_cast<unsigned long>(id.Data1),
                      id.Data2, id.Data3, id.Data4[0], id.Data4[1], id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5],
                      id.Data4[6], id.Data4[7]);
        return;
    }
}

// The name a module gives itself in its export directory ("dxgi.dll"), read
// from its mapped image: the loader's own lists are behind a lock that another
// thread may hold.
bool ReadExportName(ULONG_PTR base, wchar_t (&out)[kModuleNameChars])
{
    const IMAGE_NT_HEADERS* nt = ImageHeaders(base);
    if (!nt) return false;
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (directory.VirtualAddress == 0) return false;
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
    if (exports->Name == 0) return false;
    const char* name = reinterpret_cast<const char*>(base + exports->Name);
    std::size_t i = 0;
    for (; name[i] && i + 1 < kModuleNameChars; ++i) out[i] = static_cast<unsigned char>(name[i]);
    out[i] = L'\0';
    return i > 0;
}

CodeAddress Locate(ULONG_PTR address, ULONG_PTR base, wchar_t (&nameBuffer)[kModuleNameChars])
{
    if (base == 0) return {nullptr, address};
    if (base == trace.OwnBase) return {trace.OwnName, address - base};
    if (ReadExportName(base, nameBuffer)) return {nameBuffer, address - base};
    return {nullptr, address};
}

ULONG_PTR ModuleBaseOf(ULONG_PTR address)
{
    void* base = nullptr;
    RtlPcToFileHeader(reinterpret_cast<void*>(address), &base);
    return reinterpret_cast<ULONG_PTR>(base);
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
        } else {
            // A leaf function keeps its return address on top of the stack.
            if (context.Rsp < stackLow || context.Rsp + sizeof(DWORD64) > stackHigh) break;
            context.Rip = *reinterpret_cast<const DWORD64*>(context.Rsp);
            context.Rsp += sizeof(DWORD64);
        }
        if (context.Rip == 0 || context.Rsp < stackLow || context.Rsp >= stackHigh) break;
    }
#else
    (void)fault;
    (void)facts;
#endif
}

LONG WINAPI LeaveCrashTrace(EXCEPTION_POINTERS* info)
{
    Logger* const log = trace.Log.load();
    if (log) {
        const auto faultAddress = reinterpret_cast<ULONG_PTR>(info->ExceptionRecord->ExceptionAddress);
        wchar_t faultModule[kModuleNameChars];
        CrashFacts facts;
        facts.ExceptionCode = info->ExceptionRecord->ExceptionCode;
        facts.Fault = Locate(faultAddress, ModuleBaseOf(faultAddress), faultModule);
        CollectOwnFrames(*info->ContextRecord, facts);
        CrashValues values;
        FormatCrashValues(facts, values);
        log->WriteNow(kLogCrash, {values.Code, values.Fault});
        log->WriteNow(kLogCrashFrames, {values.Frames});
        log->WriteNow(kLogCrashBuild, {kVersion, trace.BuildId});
    }
    // The system's own reporting still runs, and the process ends with the
    // exception's code.
    return EXCEPTION_CONTINUE_SEARCH;
}

BOOL WINAPI LeaveEndTrace(DWORD event)
{
    // Log-off and shut-down reach services only; a player's console process
    // is gone by then.
    Logger* const log = trace.Log.load();
    if (log && event == CTRL_C_EVENT) log->WriteNow(kLogEndedByCtrlC);
    if (log && event == CTRL_BREAK_EVENT) log->WriteNow(kLogEndedByCtrlBreak);
    if (log && event == CTRL_CLOSE_EVENT) log->WriteNow(kLogEndedByClose);
    // The next handler, the system's own, ends the process as it always would.
    return FALSE;
}

DWORD WINAPI WatchForStillRunning(void* stop)
{
    if (WaitForSingleObject(stop, kStillRunningAfterMs) == WAIT_TIMEOUT) {
        if (Logger* const log = trace.Log.load()) log->WriteNow(kLogStillRunning);
    }
    return 0;
}

}  // namespace

void CloseTraceHandle(void* handle) { CloseHandle(handle); }

RunTrace::RunTrace(Logger& logger, const std::filesystem::path& ownExe)
{
    trace.OwnBase = reinterpret_cast<ULONG_PTR>(GetModuleHandleW(nullptr));
    const std::wstring ownName = ownExe.filename().wstring();
    ownName.copy(trace.OwnName, std::size(trace.OwnName) - 1);
    ReadBuildId(trace.OwnBase, trace.BuildId);
    trace.Log = &logger;

    ULONG stackKept = kStackKeptForTheCrashLines;
    SetThreadStackGuarantee(&stackKept);
    SetUnhandledExceptionFilter(LeaveCrashTrace);
    // After the console is prepared: AllocConsole empties the handler list.
    SetConsoleCtrlHandler(LeaveEndTrace, TRUE);
    stopWatch_ = Handle{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    if (stopWatch_) {
        watch_ = Handle{CreateThread(nullptr, 0, WatchForStillRunning, stopWatch_.get(), 0, nullptr)};
    }
}

RunTrace::~RunTrace()
{
    if (watch_) {
        SetEvent(stopWatch_.get());
        WaitForSingleObject(watch_.get(), INFINITE);
    }
    SetConsoleCtrlHandler(LeaveEndTrace, FALSE);
    trace.Log = nullptr;
}
