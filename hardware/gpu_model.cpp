#include "hardware/gpu_model.h"

#include <regex>

#include "config/text_routines.h"

namespace {

bool DetectFamily(const std::wstring& name, const wchar_t* vendorWord, const wchar_t* seriesWord,
                  const wchar_t* pattern, std::int32_t& model)
{
    model = 0;
    const std::wstring lower = LowerCaseCopy(name);
    if (lower.find(vendorWord) == std::wstring::npos) return false;
    if (lower.find(seriesWord) == std::wstring::npos) return false;

    const std::wregex expression(pattern, std::regex::ECMAScript | std::regex::icase);
    std::wsmatch match;
    if (!std::regex_search(lower, match, expression)) return true;
    // Only ASCII digits count; a digit of another script leaves the model at 0.
    std::int32_t value = 0;
    for (const wchar_t c : match.str(1)) {
        if (c < L'0' || c > L'9') return true;
        value = value * 10 + (c - L'0');
    }
    model = value;
    return true;
}

}  // namespace

bool DetectNvidiaRtx(const std::wstring& name, std::int32_t& model)
{
    return DetectFamily(name, L"nvidia", L"rtx", LR"(rtx\s*(\d{3,4}))", model);
}

bool DetectAmdRx(const std::wstring& name, std::int32_t& model)
{
    return DetectFamily(name, L"radeon", L"rx", LR"(rx\s*(\d{3,4}))", model);
}
