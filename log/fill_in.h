#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "log/log_message.h"

// `pattern` with each "{}" replaced by the next of `values`, in order; a value
// is put in as it is, never read for "{}" itself.
std::wstring FillInPattern(const wchar_t* pattern, const std::wstring_view* values, std::size_t count);

// A message with its values put in.
template <std::size_t Count, typename... Values>
std::wstring FillIn(const LogMessage<Count>& message, const Values&... values)
{
    static_assert(sizeof...(Values) == Count, "a message takes as many values as its text has {}");
    const std::wstring_view filled[Count + 1] = {std::wstring_view(values)...};
    return FillInPattern(message.Text(), filled, Count);
}

// The same into `out`, touching no heap, for code that runs when the process
// may be damaged. Cut short when `out` is full, and always NUL-terminated;
// returns the units written before the NUL. `capacity` is at least 1.
std::size_t FillInto(wchar_t* out, std::size_t capacity, const wchar_t* pattern, const std::wstring_view* values,
                     std::size_t count) noexcept;
