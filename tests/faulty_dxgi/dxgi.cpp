// A graphics driver that breaks while DXGI lists the adapters. Placed in a
// test prefix's System32 and loaded with WINEDLLOVERRIDES=dxgi=n, it hands out
// a factory whose EnumAdapters1 breaks in the way ORVEL_FAULTY_DXGI names:
//   crash      faults;
//   hang       never returns;
//   slow       returns the end of the list after 12 s;
//   abort      calls abort();
//   throw      throws a C++ exception through the caller;
//   thread     faults on a thread of its own and waits for it;
//   filter     sets its own unhandled-exception filter when the factory is
//              made, then faults; the filter adds "A" to the file that
//              ORVEL_FAULTY_DXGI_MARK names and hands on to the one it
//              replaced;
//   twice      as filter, but the filter faults again itself;
//   twofilters as filter, then sets a second filter ("B") while listing,
//              ends the list and faults when the factory is released;
//   again      as filter, then sets the same filter again and faults when
//              the factory is released;
//   nameless   faults with its export directory's name erased;
//   anonymous  faults with its export name and its debug directory erased;
//   recover    raises an integer overflow twice on a thread of its own,
//              which the runtime's filter lets go on, and ends the list;
//   overflowed as recover, then faults on that thread;
//   uncaught   throws a C++ exception on a thread of its own that nothing
//              catches;
//   msvcthrow  throws as a Visual Studio-built driver does (0xE06D7363);
//   heap       reports heap corruption (0xC0000374);
//   deepthread faults on a thread of its own with less than 20 KiB of its
//              stack left.
// Any other process it is loaded into gets no factory.

#include <windows.h>

#include <cstddef>
#include <cstdlib>
#include <cwchar>
#include <stdexcept>

namespace {

constexpr DWORD kSlowListingMs = 12000;
constexpr DWORD kSecondFault = 0xE0000002;
constexpr DWORD kVisualCppException = 0xE06D7363;
constexpr DWORD kHeapCorruption = 0xC0000374;
constexpr std::size_t kStackLeftAtTheFault = 20 * 1024;

bool FaultAsked(const wchar_t* fault)
{
    wchar_t value[16] = {};
    GetEnvironmentVariableW(L"ORVEL_FAULTY_DXGI", value, 16);
    return std::wcscmp(value, fault) == 0;
}

bool AnyFaultAsked() { return GetEnvironmentVariableW(L"ORVEL_FAULTY_DXGI", nullptr, 0) > 0; }

HMODULE ThisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

// Makes the image name itself nowhere a crash report may look.
void EraseNames(bool debugDirectoryToo)
{
    auto* base = reinterpret_cast<unsigned char*>(ThisModule());
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    auto* exports = reinterpret_cast<IMAGE_EXPORT_DIRECTORY*>(
        base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress);
    DWORD was = 0;
    VirtualProtect(exports, sizeof *exports, PAGE_READWRITE, &was);
    exports->Name = 0;
    if (debugDirectoryToo) {
        IMAGE_DATA_DIRECTORY& debug = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DEBUG];
        VirtualProtect(&debug, sizeof debug, PAGE_READWRITE, &was);
        debug = {};
    }
}

// Adds `letter` to the mark file: which filters ran, in their order.
void Mark(char letter)
{
    wchar_t mark[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"ORVEL_FAULTY_DXGI_MARK", mark, MAX_PATH) == 0) return;
    const HANDLE file = CreateFileW(mark, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, &letter, 1, &written, nullptr);
    CloseHandle(file);
}

LPTOP_LEVEL_EXCEPTION_FILTER replacedByFirst = nullptr;
LPTOP_LEVEL_EXCEPTION_FILTER replacedBySecond = nullptr;

LONG HandOn(LPTOP_LEVEL_EXCEPTION_FILTER replaced, EXCEPTION_POINTERS* info)
{
    return replaced ? replaced(info) : EXCEPTION_CONTINUE_SEARCH;
}

LONG WINAPI DriversOwnFilter(EXCEPTION_POINTERS* info)
{
    if (FaultAsked(L"twice")) RaiseException(kSecondFault, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    Mark('A');
    return HandOn(replacedByFirst, info);
}

LONG WINAPI DriversSecondFilter(EXCEPTION_POINTERS* info)
{
    Mark('B');
    return HandOn(replacedBySecond, info);
}

HRESULT STDMETHODCALLTYPE NotImplemented() { return E_NOTIMPL; }
ULONG STDMETHODCALLTYPE OneReference() { return 1; }

}  // namespace

// Exported, so that a test can find where it lies in the image.
extern "C" __declspec(dllexport) __declspec(noinline) void OrvelFaultyDxgiFault()
{
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
}

namespace {

DWORD WINAPI FaultOnOwnThread(void*)
{
    OrvelFaultyDxgiFault();
    return 0;
}

DWORD WINAPI OverflowOnOwnThread(void*)
{
    for (int i = 0; i < 2; ++i) RaiseException(EXCEPTION_INT_OVERFLOW, 0, 0, nullptr);
    if (FaultAsked(L"overflowed")) OrvelFaultyDxgiFault();
    return 0;
}

DWORD WINAPI ThrowOnOwnThread(void*) { throw std::runtime_error("nobody catches this"); }

std::size_t StackLeft()
{
    ULONG_PTR low = 0;
    ULONG_PTR high = 0;
    GetCurrentThreadStackLimits(&low, &high);
    return reinterpret_cast<ULONG_PTR>(&low) - low;
}

__declspec(noinline) void FaultDeepDown()
{
    volatile char frame[256];
    frame[0] = 0;
    if (StackLeft() > kStackLeftAtTheFault) FaultDeepDown();
    OrvelFaultyDxgiFault();
    frame[1] = frame[0];
}

DWORD WINAPI FaultDeepOnOwnThread(void*)
{
    FaultDeepDown();
    return 0;
}

void OnOwnThread(LPTHREAD_START_ROUTINE work)
{
    const HANDLE thread = CreateThread(nullptr, 0, work, nullptr, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

// Out of line, so that it has a frame of its own in dxgi.dll.
__declspec(noinline) HRESULT STDMETHODCALLTYPE EnumAdapters1(void*, UINT, void**)
{
    if (FaultAsked(L"hang")) {
        for (;;) Sleep(INFINITE);
    }
    if (FaultAsked(L"slow")) {
        Sleep(kSlowListingMs);
        return DXGI_ERROR_NOT_FOUND;
    }
    if (FaultAsked(L"abort")) std::abort();
    if (FaultAsked(L"throw")) throw std::runtime_error("the driver gave up");
    if (FaultAsked(L"thread")) OnOwnThread(FaultOnOwnThread);
    if (FaultAsked(L"recover") || FaultAsked(L"overflowed")) OnOwnThread(OverflowOnOwnThread);
    if (FaultAsked(L"uncaught")) OnOwnThread(ThrowOnOwnThread);
    if (FaultAsked(L"deepthread")) OnOwnThread(FaultDeepOnOwnThread);
    if (FaultAsked(L"msvcthrow")) {
        // As a Visual Studio-built module's throw: its magic number, the
        // object, its type's description, the module's base.
        const ULONG_PTR thrown[] = {0x19930520, 0, 0, reinterpret_cast<ULONG_PTR>(ThisModule())};
        RaiseException(kVisualCppException, EXCEPTION_NONCONTINUABLE, 4, thrown);
    }
    if (FaultAsked(L"heap")) RaiseException(kHeapCorruption, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    if (FaultAsked(L"twofilters")) replacedBySecond = SetUnhandledExceptionFilter(DriversSecondFilter);
    if (FaultAsked(L"thread") || FaultAsked(L"recover") || FaultAsked(L"overflowed") || FaultAsked(L"uncaught") ||
        FaultAsked(L"deepthread") || FaultAsked(L"twofilters") || FaultAsked(L"again")) {
        return DXGI_ERROR_NOT_FOUND;
    }
    if (FaultAsked(L"nameless")) EraseNames(false);
    if (FaultAsked(L"anonymous")) EraseNames(true);
    OrvelFaultyDxgiFault();
    return E_FAIL;
}

ULONG STDMETHODCALLTYPE Release(void*)
{
    if (FaultAsked(L"again")) replacedByFirst = SetUnhandledExceptionFilter(DriversOwnFilter);
    if (FaultAsked(L"twofilters") || FaultAsked(L"again")) OrvelFaultyDxgiFault();
    return 1;
}

// IDXGIFactory6's table: IUnknown (3), IDXGIObject (4), IDXGIFactory (5),
// then EnumAdapters1 at 12; the rest are never reached.
constexpr int kEnumAdapters1 = 12;
constexpr int kMethods = 32;

struct Factory {
    void* const* Methods;
};

void* const* FactoryMethods()
{
    static void* methods[kMethods];
    for (void*& method : methods) method = reinterpret_cast<void*>(&NotImplemented);
    methods[1] = reinterpret_cast<void*>(&OneReference);
    methods[2] = reinterpret_cast<void*>(&Release);
    methods[kEnumAdapters1] = reinterpret_cast<void*>(&EnumAdapters1);
    return methods;
}

}  // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI CreateDXGIFactory1(REFIID, void** factory)
{
    if (!factory) return E_POINTER;
    *factory = nullptr;
    if (!AnyFaultAsked()) return E_NOTIMPL;
    if (FaultAsked(L"filter") || FaultAsked(L"twice") || FaultAsked(L"twofilters") || FaultAsked(L"again"))
        replacedByFirst = SetUnhandledExceptionFilter(DriversOwnFilter);
    static Factory broken{FactoryMethods()};
    *factory = &broken;
    return S_OK;
}
