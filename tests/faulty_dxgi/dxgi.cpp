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
//              made, then faults; the filter creates the file that
//              ORVEL_FAULTY_DXGI_MARK names and hands on;
//   twice      as filter, but the filter faults again itself;
//   nameless   faults with its export directory's name erased;
//   anonymous  faults with its export name and its debug directory erased.
// Any other process it is loaded into gets no factory.

#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <stdexcept>

namespace {

constexpr DWORD kSlowListingMs = 12000;
constexpr DWORD kSecondFault = 0xE0000002;

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

LONG WINAPI DriversOwnFilter(EXCEPTION_POINTERS*)
{
    if (FaultAsked(L"twice")) RaiseException(kSecondFault, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    wchar_t mark[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"ORVEL_FAULTY_DXGI_MARK", mark, MAX_PATH) > 0) {
        CloseHandle(CreateFileW(mark, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    return EXCEPTION_CONTINUE_SEARCH;
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
    if (FaultAsked(L"thread")) {
        const HANDLE thread = CreateThread(nullptr, 0, FaultOnOwnThread, nullptr, 0, nullptr);
        WaitForSingleObject(thread, INFINITE);
        return E_FAIL;
    }
    if (FaultAsked(L"nameless")) EraseNames(false);
    if (FaultAsked(L"anonymous")) EraseNames(true);
    OrvelFaultyDxgiFault();
    return E_FAIL;
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
    methods[1] = methods[2] = reinterpret_cast<void*>(&OneReference);
    methods[kEnumAdapters1] = reinterpret_cast<void*>(&EnumAdapters1);
    return methods;
}

}  // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI CreateDXGIFactory1(REFIID, void** factory)
{
    if (!factory) return E_POINTER;
    *factory = nullptr;
    if (!AnyFaultAsked()) return E_NOTIMPL;
    if (FaultAsked(L"filter") || FaultAsked(L"twice")) SetUnhandledExceptionFilter(DriversOwnFilter);
    static Factory broken{FactoryMethods()};
    *factory = &broken;
    return S_OK;
}
