#include <windows.h>

#include <dxgi1_6.h>
#include <wrl/client.h>

#include <iterator>
#include <vector>

#include "hardware/gpu_dxgi.h"
#include "hardware/gpu_selection.h"
#include "log/log_messages.h"
#include "log/logger.h"

using Microsoft::WRL::ComPtr;

namespace {

using CreateFactoryFunction = HRESULT(WINAPI*)(REFIID, void**);

// Loaded from System32 only: a dxgi.dll beside the game may be an overlay's
// proxy, and the launcher lives beside the game. Kept loaded for the rest of
// the process, as the system keeps it for a game: the driver's threads, the
// exception filter it may set and an exception it throws all need its code
// after the listing.
HMODULE LoadSystemDxgi() { return LoadLibraryExW(L"dxgi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32); }

ComPtr<IDXGIFactory6> CreateFactory(HMODULE dxgi)
{
    ComPtr<IDXGIFactory6> factory;
    if (!dxgi) return factory;
    const auto create =
        reinterpret_cast<CreateFactoryFunction>(reinterpret_cast<void*>(GetProcAddress(dxgi, "CreateDXGIFactory1")));
    if (!create || FAILED(create(__uuidof(IDXGIFactory6), &factory))) factory.Reset();
    return factory;
}

std::vector<AdapterDescription> DescribeAdapters(IDXGIFactory6& factory)
{
    std::vector<AdapterDescription> adapters;
    for (UINT index = 0;; ++index) {
        ComPtr<IDXGIAdapter1> adapter;
        // Any failure other than the documented end also ends the list: a
        // broken enumerator must not make the loop spin on forever.
        if (FAILED(factory.EnumAdapters1(index, &adapter))) break;
        DXGI_ADAPTER_DESC1 desc{};
        if (FAILED(adapter->GetDesc1(&desc))) continue;  // never judge an unfilled description
        desc.Description[std::size(desc.Description) - 1] = L'\0';
        adapters.push_back({desc.Description, static_cast<std::uint64_t>(desc.DedicatedVideoMemory),
                            (desc.Flags & DXGI_ADAPTER_FLAG_SOFTWARE) != 0});
    }
    return adapters;
}

}  // namespace

GpuInfo DetectGpu(Logger& logger, void (*driverLoaded)())
{
    const ComPtr<IDXGIFactory6> factory = CreateFactory(LoadSystemDxgi());
    if (driverLoaded) driverLoaded();
    if (!factory) {
        logger.Log(kLogDxgiFactoryFailed);
        return GpuInfo{};
    }
    const GpuInfo chosen = ChooseAdapter(DescribeAdapters(*factory.Get()));
    if (driverLoaded) driverLoaded();
    LogGpuSelection(logger, chosen);
    return chosen;
}
