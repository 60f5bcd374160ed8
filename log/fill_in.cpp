#include "log/fill_in.h"

namespace {

// Hands `emit` the pattern's text and the values in their places, in order.
template <typename Value, typename Emit>
void WalkPattern(const wchar_t* pattern, std::initializer_list<Value> values, Emit emit)
{
    auto value = values.begin();
    for (const wchar_t* c = pattern; *c; ++c) {
        if (c[0] == L'{' && c[1] == L'}') {
            if (value != values.end()) emit(std::wstring_view(*value++));
            ++c;
        } else {
            emit(std::wstring_view(c, 1));
        }
    }
}

}  // namespace

std::wstring FillIn(const wchar_t* pattern, std::initializer_list<std::wstring> values)
{
    std::wstring text;
    WalkPattern(pattern, values, [&text](std::wstring_view piece) { text += piece; });
    return text;
}

std::size_t FillInto(wchar_t* out, std::size_t capacity, const wchar_t* pattern,
                     std::initializer_list<std::wstring_view> values) noexcept
{
    std::size_t size = 0;
    WalkPattern(pattern, values, [&](std::wstring_view piece) {
        for (const wchar_t c : piece) {
            if (size + 1 < capacity) out[size++] = c;
        }
    });
    out[size] = L'\0';
    return size;
}
