#pragma once

#include <cstdint>
#include <string>

// Removes space, tab, CR and LF from both ends; nothing else counts as blank.
std::wstring Trim(const std::wstring& text);

// Reads a base-10 number the way wcstol does (leading white space: tab, LF,
// VT, FF, CR, space, U+0085 and U+00A0; an optional sign; ASCII digits up to
// the first non-digit). Refuses text without digits and numbers outside the
// signed 32-bit range; the target is then untouched.
bool TryParseInt(const std::wstring& text, std::int32_t& target);

// Accepts 1/true/yes and 0/false/no in any letter case, after trimming.
bool TryParseBool(const std::wstring& text, bool& target);

// A copy passed through towlower one UTF-16 unit at a time; the launcher never
// sets a locale, so only A to Z change.
std::wstring LowerCaseCopy(const std::wstring& text);
