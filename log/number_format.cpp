#include "log/number_format.h"

#include <cwchar>

std::wstring FormatFixed6(double value)
{
    // Large enough for "%f" of any finite double (309 integer digits).
    wchar_t text[400] = {};
    std::swprintf(text, 400, L"%f", value);
    return text;
}
