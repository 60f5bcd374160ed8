#pragma once

#include <string>

// CreateFileW refuses paths of MAX_PATH (260) units or more unless they carry
// the extended-length prefix; the launcher's folder may be that deep.
inline std::wstring ExtendedLengthPath(const std::wstring& path)
{
    constexpr std::size_t kMaxPath = 260;
    if (path.size() < kMaxPath || path.rfind(L"\\\\?\\", 0) == 0) return path;
    if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
    if (path.size() > 2 && path[1] == L':') return L"\\\\?\\" + path;
    return path;
}
