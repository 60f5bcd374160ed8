// The configuration reader over arbitrary bytes: it never fails, and reading
// the same text twice changes nothing more (the last usable line wins).
#include <sstream>
#include <string>

#include "config/config_file.h"
#include "config/text_routines.h"
#include "fuzz/fuzz_input.h"

namespace {

bool Same(const LauncherSettings& a, const LauncherSettings& b)
{
    return a.GameExeName == b.GameExeName && a.GameArgs == b.GameArgs &&
           a.CpuThreadMinForDx12 == b.CpuThreadMinForDx12 && a.NvidiaMinRtxModel == b.NvidiaMinRtxModel &&
           a.AmdMinRxModel == b.AmdMinRxModel && a.MinVramGbForDx12 == b.MinVramGbForDx12 &&
           a.PreferDx12 == b.PreferDx12;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    LauncherSettings once;
    std::istringstream first(text);
    ApplyConfigStream(first, once);

    LauncherSettings twice = once;
    std::istringstream second(text);
    ApplyConfigStream(second, twice);
    FUZZ_CHECK(Same(once, twice));

    // Values are stored trimmed.
    FUZZ_CHECK(Trim(once.GameExeName) == once.GameExeName);
    FUZZ_CHECK(Trim(once.GameArgs) == once.GameArgs);
    return 0;
}
