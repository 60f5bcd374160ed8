#pragma once

#include <cstddef>

// One text the launcher writes to its log, with the number of values it takes
// ("{}" in the text) in its type: a call with more or fewer values does not
// compile. The number is checked against the text where the message is
// defined; a message whose number and text disagree is no constant.
template <std::size_t Values>
class LogMessage {
public:
    constexpr explicit LogMessage(const wchar_t* text) : text_(text)
    {
        if (Placeholders(text) != Values) throw "the message's text has another number of {} than its type";
    }
    constexpr const wchar_t* Text() const { return text_; }

private:
    static constexpr std::size_t Placeholders(const wchar_t* text)
    {
        std::size_t count = 0;
        for (; *text; ++text) {
            if (text[0] == L'{' && text[1] == L'}') ++count;
        }
        return count;
    }

    const wchar_t* text_;
};
