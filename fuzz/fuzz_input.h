#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Reads fuzzer bytes as UTF-16 little-endian units, as the launcher's wide
// strings hold them on Windows.
inline std::wstring WideFromBytes(const std::uint8_t* data, std::size_t size)
{
    std::wstring text;
    for (std::size_t i = 0; i + 1 < size; i += 2) text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    return text;
}

#define FUZZ_CHECK(condition)               \
    do {                                    \
        if (!(condition)) __builtin_trap(); \
    } while (0)
