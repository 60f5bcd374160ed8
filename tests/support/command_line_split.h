#pragma once

#include <string>
#include <vector>

// Splits a Windows command line into arguments by the rules of
// CommandLineToArgvW: the program name ends at the first blank (or at the
// closing quote when it starts with one); later arguments are separated by
// blanks and tabs outside quotes, 2n backslashes before a quote give n and the
// quote opens or closes a quoted part, 2n+1 give n and a literal quote, other
// backslashes are literal, and three quotes in a row give one literal quote.
// Written from the documented rules, for tests; checked against the real
// function under Windows (or Wine).
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);
