// Pass-through arguments quoted for the game's command line and split back by
// the Windows rules come back unchanged.
#include <vector>

#include "fuzz/fuzz_input.h"
#include "launch/game_command_line.h"
#include "tests/support/command_line_split.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // NUL separates arguments: a command line cannot hold one.
    std::vector<std::wstring> args(1);
    for (const wchar_t c : WideFromBytes(data, size)) {
        if (c == L'\0')
            args.emplace_back();
        else
            args.back() += c;
    }

    std::wstring commandLine = L"game.exe";
    for (const std::wstring& arg : args) commandLine += L" " + QuoteArgument(arg);
    std::vector<std::wstring> want = args;
    want.insert(want.begin(), L"game.exe");
    FUZZ_CHECK(SplitCommandLine(commandLine) == want);
    return 0;
}
