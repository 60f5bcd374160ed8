#include "log/fill_in.h"

namespace {

// Hands `emit` the pattern's text and the values in their places, in order.
template <typename Value, typename Emit>
void WalkPattern(const wchar_t* pattern, const Value* values, std::size_t count, Emit emit)
{
    const Value* value = values;
    for (const wchar_t* c = pattern; *c; ++c) {
        if (c[0] == L'{' && c[1] == L'}') {
            if (value != values + count) emit(std::wstring_view(*value++));
            ++c;
        } else {
            emit(std::wstring_view(c, 1));
        }
    }
}

}  // namespace

std::wstring FillInPattern(const wchar_t* pattern, const std::wstring_view* values, std::size_t count)
{
    std::wstring text;
    WalkPattern(pattern, values, count, [&text](std::wstring_view piece) { text += piece; });
    return text;
}

std::size_t FillInto(wchar_t* out, std::size_t capacity, const wchar_t* pattern, const std::wstring_view* values,
                     std::size_t count) noexcept
{
    std::size_t size = 0;
    WalkPattern(pattern, values, count, [&](std::wstring_view piece) {
        for (const wchar_t c : piece) {
            if (size + 1 < capacity) out[size++] = c;
        }
    });
    out[size] = L'\0';
    return size;
}
