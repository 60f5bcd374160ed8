// A stand-in for an overlay's proxy dxgi.dll. Loaded into a process, it leaves
// "proxy_dxgi_loaded_by_<exe name>" beside that process's executable; the
// launcher must never load it.

#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        std::wstring path(32768, L'\0');
        path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
        const std::size_t slash = path.find_last_of(L'\\');
        path = path.substr(0, slash) + L"\\proxy_dxgi_loaded_by_" + path.substr(slash + 1);
        const HANDLE marker = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
    }
    return TRUE;
}

// The one export the launcher would ask for; it never succeeds.
extern "C" __declspec(dllexport) HRESULT WINAPI CreateDXGIFactory1(REFIID, void** factory)
{
    if (factory) *factory = nullptr;
    return E_NOTIMPL;
}
