#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Decodes UTF-8 into wide text; invalid sequences fail the current test.
std::wstring DecodeUtf8(const std::string& bytes);

// The messages of a log file, in order, without their "[YYYY-MM-DD hh:mm:ss] "
// stamps. Every line must carry a well-formed stamp and end in exactly one
// CR LF; any that does not fails the current test.
std::vector<std::wstring> ReadLogMessages(const std::filesystem::path& logFile);

// The same, over log bytes already read.
std::vector<std::wstring> LogMessagesFrom(const std::string& bytes);
