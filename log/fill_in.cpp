#include "log/fill_in.h"

std::wstring FillIn(const wchar_t* pattern, std::initializer_list<std::wstring> values)
{
    std::wstring text;
    auto value = values.begin();
    for (const wchar_t* c = pattern; *c; ++c) {
        if (c[0] == L'{' && c[1] == L'}') {
            if (value != values.end()) text += *value++;
            ++c;
        } else {
            text += *c;
        }
    }
    return text;
}
