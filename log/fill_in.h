#pragma once

#include <initializer_list>
#include <string>

// `pattern` with each "{}" replaced by the next of `values`, in order; a value
// is put in as it is, never read for "{}" itself.
std::wstring FillIn(const wchar_t* pattern, std::initializer_list<std::wstring> values);
