#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

// `pattern` with each "{}" replaced by the next of `values`, in order; a value
// is put in as it is, never read for "{}" itself.
std::wstring FillIn(const wchar_t* pattern, std::initializer_list<std::wstring> values);

// The same into `out`, touching no heap, for code that runs when the process
// may be damaged. Cut short when `out` is full, and always NUL-terminated;
// returns the units written before the NUL. `capacity` is at least 1.
std::size_t FillInto(wchar_t* out, std::size_t capacity, const wchar_t* pattern, const std::wstring_view* values,
                     std::size_t count) noexcept;
