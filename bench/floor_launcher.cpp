// The floor for the launcher's start-up cost: a program that does only what
// the job needs (enumerate the DXGI adapters, start the game with a switch)
// and nothing else: no console, no log, no configuration, no registry. With
// ORVEL_FLOOR_WITH_THREAD it also starts one thread that does nothing and
// ends it before exiting: the least any watchdog thread can cost.
#include <windows.h>

#include <dxgi1_6.h>

#ifdef ORVEL_FLOOR_WITH_STD
int FloorMain(int argc, wchar_t** argv)
#else
int wmain(int argc, wchar_t** argv)
#endif
{
    if (argc < 2) return 3;
#ifdef ORVEL_FLOOR_WITH_THREAD
    const HANDLE idle = CreateThread(
        nullptr, 0, [](void*) -> DWORD { return 0; }, nullptr, 0, nullptr);
#endif
    UINT64 best = 0;
    const HMODULE dxgi = LoadLibraryExW(L"dxgi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    using Create = HRESULT(WINAPI*)(REFIID, void**);
    const auto create =
        dxgi ? reinterpret_cast<Create>(reinterpret_cast<void*>(GetProcAddress(dxgi, "CreateDXGIFactory1"))) : nullptr;
    IDXGIFactory6* factory = nullptr;
    if (create && SUCCEEDED(create(__uuidof(IDXGIFactory6), reinterpret_cast<void**>(&factory)))) {
        for (UINT i = 0;; ++i) {
            IDXGIAdapter1* adapter = nullptr;
            if (FAILED(factory->EnumAdapters1(i, &adapter))) break;
            DXGI_ADAPTER_DESC1 desc{};
            if (SUCCEEDED(adapter->GetDesc1(&desc)) && desc.DedicatedVideoMemory >= best)
                best = desc.DedicatedVideoMemory;
            adapter->Release();
        }
        factory->Release();
    }

    wchar_t commandLine[1024];
    lstrcpynW(commandLine, argv[1], 1000);
    lstrcatW(commandLine, best >= (9ull << 30) ? L" -DX12" : L" -DX11");
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 2;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
#ifdef ORVEL_FLOOR_WITH_THREAD
    if (idle) {
        WaitForSingleObject(idle, INFINITE);
        CloseHandle(idle);
    }
#endif
    return 0;
}
