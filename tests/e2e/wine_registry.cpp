#include "tests/e2e/wine_registry.h"

#include <gtest/gtest.h>

#include "common/unique_handle.h"

namespace {

using UniqueKey = Unique<HKEY, &RegCloseKey>;

std::optional<RegistryValue> ReadValue(HKEY root, const std::wstring& key, const std::wstring& name)
{
    UniqueKey opened;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, opened.put()) != ERROR_SUCCESS) return std::nullopt;
    DWORD size = 0;
    RegistryValue value;
    if (RegQueryValueExW(opened.get(), name.c_str(), nullptr, &value.Type, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.Bytes.resize(size);
    if (RegQueryValueExW(opened.get(), name.c_str(), nullptr, &value.Type, value.Bytes.data(), &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.Bytes.resize(size);
    return value;
}

void WriteValue(HKEY root, const std::wstring& key, const std::wstring& name, const std::optional<RegistryValue>& value)
{
    UniqueKey opened;
    ASSERT_EQ(RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, opened.put(), nullptr),
              ERROR_SUCCESS);
    if (!value) {
        RegDeleteValueW(opened.get(), name.c_str());
        return;
    }
    ASSERT_EQ(RegSetValueExW(opened.get(), name.c_str(), 0, value->Type, value->Bytes.data(),
                             static_cast<DWORD>(value->Bytes.size())),
              ERROR_SUCCESS);
}

}  // namespace

bool RunningUnderWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

RegistryValue StringValue(const std::wstring& text, DWORD type)
{
    RegistryValue value{type, {}};
    const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    value.Bytes.assign(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
    return value;
}

RegistryValue DwordValue(DWORD number)
{
    RegistryValue value{REG_DWORD, {}};
    const auto* bytes = reinterpret_cast<const BYTE*>(&number);
    value.Bytes.assign(bytes, bytes + sizeof(number));
    return value;
}

ScopedRegistryValue::ScopedRegistryValue(HKEY root, std::wstring key, std::wstring name,
                                         std::optional<RegistryValue> value)
    : root_(root), key_(std::move(key)), name_(std::move(name)), previous_(ReadValue(root_, key_, name_))
{
    WriteValue(root_, key_, name_, value);
}

ScopedRegistryValue::~ScopedRegistryValue() { WriteValue(root_, key_, name_, previous_); }
