#include "tests/support/command_line_split.h"

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

}  // namespace

std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine)
{
    std::vector<std::wstring> args;
    std::size_t i = 0;
    const std::size_t end = commandLine.size();

    // The program name: no escapes, quotes only group.
    std::wstring program;
    if (i < end && commandLine[i] == L'"') {
        for (++i; i < end && commandLine[i] != L'"'; ++i) program += commandLine[i];
        if (i < end) ++i;
    } else {
        for (; i < end && !IsBlank(commandLine[i]); ++i) program += commandLine[i];
    }
    args.push_back(program);

    for (;;) {
        while (i < end && IsBlank(commandLine[i])) ++i;
        if (i >= end) break;
        std::wstring arg;
        int quotes = 0;  // 1 while inside a quoted part
        std::size_t backslashes = 0;
        for (; i < end; ++i) {
            const wchar_t c = commandLine[i];
            if (c == L'\\') {
                ++backslashes;
                continue;
            }
            if (c != L'"') {
                arg.append(backslashes, L'\\');
                backslashes = 0;
                if (IsBlank(c) && quotes == 0) break;
                arg += c;
                continue;
            }
            arg.append(backslashes / 2, L'\\');
            const bool escaped = backslashes % 2 == 1;
            backslashes = 0;
            if (escaped) {
                arg += L'"';
                continue;
            }
            // A run of quotes: every third one is literal.
            ++quotes;
            while (i + 1 < end && commandLine[i + 1] == L'"') {
                ++i;
                if (++quotes == 3) {
                    arg += L'"';
                    quotes = 0;
                }
            }
            if (quotes == 2) quotes = 0;
        }
        arg.append(backslashes, L'\\');
        args.push_back(arg);
    }
    return args;
}
