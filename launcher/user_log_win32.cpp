#include <windows.h>

#include <shlobj.h>

#include <string>

#include "common/unique_handle.h"
#include "launcher/user_log.h"

namespace {

using UniqueModule = Unique<HMODULE, &FreeLibrary>;
using UniqueToken = Unique<HANDLE, &CloseHandle>;
using GetKnownFolderPath = HRESULT(WINAPI*)(REFGUID, DWORD, HANDLE, PWSTR*);
using FreeTaskMemory = void(WINAPI*)(void*);

// FOLDERID_LocalAppData, spelt out so that no import library is needed.
constexpr GUID kLocalAppData = {0xF1B32785, 0x6FBA, 0x4FCF, {0x9D, 0x55, 0x7B, 0x8E, 0x7F, 0x15, 0x70, 0x91}};

bool RunsElevated()
{
    UniqueToken token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return true;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size)) return true;
    return elevation.TokenIsElevated != 0;
}

template <typename Function>
Function Find(const UniqueModule& module, const char* name)
{
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module.get(), name))) : nullptr;
}

// Through the shell, as Windows' folder redirection and roaming profiles
// expect; loaded only here, so that a run that can log beside itself never
// pays for the shell's DLLs.
std::wstring LocalAppDataFolder()
{
    const UniqueModule shell{LoadLibraryExW(L"shell32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)};
    const UniqueModule com{LoadLibraryExW(L"ole32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)};
    const auto getPath = Find<GetKnownFolderPath>(shell, "SHGetKnownFolderPath");
    const auto freeMemory = Find<FreeTaskMemory>(com, "CoTaskMemFree");
    if (!getPath || !freeMemory) return {};
    PWSTR path = nullptr;
    const HRESULT found = getPath(kLocalAppData, 0, nullptr, &path);
    std::wstring folder = SUCCEEDED(found) && path ? path : L"";
    freeMemory(path);
    return folder;
}

}  // namespace

std::filesystem::path UserLogFile()
{
    if (RunsElevated()) return {};
    const std::filesystem::path base = LocalAppDataFolder();
    if (base.empty() || !base.is_absolute()) return {};
    // Only the launcher's own folder is made: a known folder that is missing
    // (a redirection to a drive that is gone) is no place to build a tree.
    const std::filesystem::path folder = base / L"Orvel";
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return {};
    return folder / L"OrvelLauncher.log";
}
