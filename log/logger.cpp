#include "log/logger.h"

#include "log/log_line.h"

namespace {
// A run writes a few hundred bytes; the cap only bounds memory for huge lines.
constexpr std::size_t kPendingLimit = 64 * 1024;
}  // namespace

Logger::Logger(const std::filesystem::path& file) : file_(OpenLogForAppend(file)) {}

Logger::~Logger() { WritePending(); }

void Logger::Log(const std::wstring& message)
{
    if (!file_) return;
    pending_ += EncodeUtf8(FormatLogLine(LocalTimestamp(), message));
    if (pending_.size() >= kPendingLimit) WritePending();
}

void Logger::WritePending()
{
    AppendToLog(file_, pending_);
    pending_.clear();
}
