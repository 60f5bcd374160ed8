// Model-number extraction over arbitrary adapter names: the model stays in
// range, an unrecognised name gives 0, and letter case never matters.
#include <cwctype>

#include "config/text_routines.h"
#include "fuzz/fuzz_input.h"
#include "hardware/gpu_model.h"

namespace {

std::wstring UpperCaseAscii(std::wstring text)
{
    for (wchar_t& c : text) {
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    return text;
}

void Check(bool (*detect)(const std::wstring&, std::int32_t&), const std::wstring& name)
{
    std::int32_t model = -1;
    const bool found = detect(name, model);
    FUZZ_CHECK(model >= 0 && model <= 9999);
    FUZZ_CHECK(found || model == 0);

    for (const std::wstring& variant : {LowerCaseCopy(name), UpperCaseAscii(name)}) {
        std::int32_t other = -1;
        FUZZ_CHECK(detect(variant, other) == found);
        FUZZ_CHECK(other == model);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 4096) return 0;  // adapter names hold 128 units; longer only slows the search
    const std::wstring name = WideFromBytes(data, size);
    Check(&DetectNvidiaRtx, name);
    Check(&DetectAmdRx, name);
    return 0;
}
