#pragma once

#include <filesystem>
#include <string>

#include "log/log_file.h"

// The launcher's one reporting channel: timestamped lines appended to the log
// file. Lines wait in memory and reach the file in whole-line writes, at the
// latest when the logger is destroyed. A file that cannot be opened makes
// every Log call do nothing.
class Logger {
public:
    explicit Logger(const std::filesystem::path& file);
    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    void Log(const std::wstring& message);

private:
    void WritePending();

    LogFile file_;
    std::string pending_;
};
