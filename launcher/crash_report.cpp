#include "launcher/crash_report.h"

namespace {

// Appends to a fixed buffer and keeps it NUL-terminated; what does not fit is
// dropped.
class FixedText {
public:
    explicit FixedText(wchar_t (&buffer)[kCrashValueChars]) : buffer_(buffer) { buffer_[0] = L'\0'; }

    FixedText& operator<<(const wchar_t* text)
    {
        for (; text && *text && size_ + 1 < kCrashValueChars; ++text) buffer_[size_++] = *text;
        buffer_[size_] = L'\0';
        return *this;
    }

    // "0x" and upper-case digits, at least `width` of them.
    FixedText& Hex(std::uint64_t value, int width)
    {
        wchar_t digits[17];
        int count = 0;
        do {
            digits[count++] = L"0123456789ABCDEF"[value & 0xF];
            value >>= 4;
        } while (value != 0 && count < 16);
        while (count < width && count < 16) digits[count++] = L'0';
        wchar_t text[20] = {L'0', L'x'};
        for (int i = 0; i < count; ++i) text[2 + i] = digits[count - 1 - i];
        text[2 + count] = L'\0';
        return *this << text;
    }

    FixedText& Address(const CodeAddress& address)
    {
        if (address.Module) *this << address.Module << L"+";
        return Hex(address.Offset, 1);
    }

private:
    wchar_t (&buffer_)[kCrashValueChars];
    std::size_t size_ = 0;
};

}  // namespace

void FormatCrashValues(const CrashFacts& facts, CrashValues& values) noexcept
{
    FixedText(values.Code).Hex(facts.ExceptionCode, 8);
    FixedText(values.Fault).Address(facts.Fault);

    FixedText frames(values.Frames);
    const std::size_t count = facts.OwnFrameCount < kMaxOwnFrames ? facts.OwnFrameCount : kMaxOwnFrames;
    if (count == 0) frames << kNoOwnFrames;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) frames << L" ";
        frames.Address(facts.OwnFrames[i]);
    }
}
