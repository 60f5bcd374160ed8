#include "config/text_routines.h"

#include <cwctype>

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

// The white space that the Visual Studio runtime's wcstol skips, over every
// character a single-byte file can hold. The MinGW runtime leaves out U+0085;
// one fixed set makes both builds read a file alike.
bool IsLeadingSpace(wchar_t c) { return (c >= L'\t' && c <= L'\r') || c == L' ' || c == 0x85 || c == 0xA0; }

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

}  // namespace

std::wstring Trim(const std::wstring& text)
{
    std::size_t first = 0;
    while (first < text.size() && IsBlank(text[first])) ++first;
    std::size_t last = text.size();
    while (last > first && IsBlank(text[last - 1])) --last;
    return text.substr(first, last - first);
}

bool TryParseInt(const std::wstring& text, std::int32_t& target)
{
    std::size_t i = 0;
    while (i < text.size() && IsLeadingSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    if (i >= text.size() || !IsDigit(text[i])) return false;

    // Accumulate the magnitude with headroom, so that out-of-range input of any
    // length is refused without overflowing.
    constexpr std::int64_t kLimit = std::int64_t{1} << 31;
    std::int64_t magnitude = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        magnitude = magnitude * 10 + (text[i] - L'0');
        if (magnitude > kLimit) return false;
    }
    if (!negative && magnitude == kLimit) return false;
    target = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
    return true;
}

bool TryParseBool(const std::wstring& text, bool& target)
{
    const std::wstring word = LowerCaseCopy(Trim(text));
    if (word == L"1" || word == L"true" || word == L"yes") {
        target = true;
        return true;
    }
    if (word == L"0" || word == L"false" || word == L"no") {
        target = false;
        return true;
    }
    return false;
}

std::wstring LowerCaseCopy(const std::wstring& text)
{
    std::wstring lower = text;
    for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    return lower;
}
