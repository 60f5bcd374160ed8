// A graphics driver that breaks while DXGI lists the adapters. Placed in a
// test prefix's System32 and loaded with WINEDLLOVERRIDES=dxgi=n, it hands out
// a factory whose EnumAdapters1 faults (ORVEL_FAULTY_DXGI=crash) or never
// returns (ORVEL_FAULTY_DXGI=hang). Any other process it is loaded into gets
// no factory.

#include <windows.h>

#include <cwchar>

namespace {

enum class Fault { None, Crash, Hang };

Fault FaultAsked()
{
    wchar_t value[16] = {};
    GetEnvironmentVariableW(L"ORVEL_FAULTY_DXGI", value, 16);
    if (std::wcscmp(value, L"crash") == 0) return Fault::Crash;
    if (std::wcscmp(value, L"hang") == 0) return Fault::Hang;
    return Fault::None;
}

HRESULT STDMETHODCALLTYPE NotImplemented() { return E_NOTIMPL; }
ULONG STDMETHODCALLTYPE OneReference() { return 1; }

// Out of line, so that the fault has a frame of its own in dxgi.dll.
__declspec(noinline) HRESULT STDMETHODCALLTYPE EnumAdapters1(void*, UINT, void**)
{
    if (FaultAsked() == Fault::Hang) {
        for (;;) Sleep(INFINITE);
    }
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
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
    if (FaultAsked() == Fault::None) return E_NOTIMPL;
    static Factory broken{FactoryMethods()};
    *factory = &broken;
    return S_OK;
}
