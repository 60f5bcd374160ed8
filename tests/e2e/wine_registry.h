#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// True when the tests run under Wine, where they may set Wine's own registry
// switches (the Direct3D renderer, the adapter's memory and identity).
bool RunningUnderWine();

// One registry value as stored: its type and raw bytes.
struct RegistryValue {
    DWORD Type = REG_NONE;
    std::vector<BYTE> Bytes;
};
RegistryValue StringValue(const std::wstring& text, DWORD type = REG_SZ);
RegistryValue DwordValue(DWORD value);

// Sets (or, given nothing, deletes) a value for the life of the object and
// puts back what was there before.
class ScopedRegistryValue {
public:
    ScopedRegistryValue(HKEY root, std::wstring key, std::wstring name, std::optional<RegistryValue> value);
    ~ScopedRegistryValue();
    ScopedRegistryValue(const ScopedRegistryValue&) = delete;
    ScopedRegistryValue& operator=(const ScopedRegistryValue&) = delete;

private:
    HKEY root_;
    std::wstring key_;
    std::wstring name_;
    std::optional<RegistryValue> previous_;
};

// Wine's Direct3D settings key under HKEY_CURRENT_USER.
inline constexpr wchar_t kWineDirect3DKey[] = L"Software\\Wine\\Direct3D";
inline constexpr wchar_t kProcessorKey[] = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
