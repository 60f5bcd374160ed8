#include "log/logger.h"

#include <iterator>

#include "log/fill_in.h"
#include "log/log_line.h"

namespace {
// A run writes a few hundred bytes; the cap only bounds memory for huge lines.
constexpr std::size_t kPendingLimit = 64 * 1024;
// Room for the longest line written in an emergency (a stack of frames) in UTF-8.
constexpr std::size_t kUrgentLineBytes = 4096;
// Log holds the lines for microseconds; a holder that keeps them longer is stuck.
constexpr int kPendingTries = 100;
constexpr unsigned kPendingRetryMs = 5;

LogFile OpenWithFallback(const std::filesystem::path& file, Logger::FallbackFile fallback)
{
    LogFile opened = OpenLogForAppend(file);
    if (opened || !fallback) return opened;
    const std::filesystem::path elsewhere = fallback();
    return elsewhere.empty() ? LogFile{} : OpenLogForAppend(elsewhere);
}

bool TakePendingLines(std::atomic<std::uint64_t>& holder, std::uint64_t self)
{
    std::uint64_t none = 0;
    return holder.compare_exchange_strong(none, self);
}

// Has the pending lines for as long as it lives, once `holder` gives them.
class PendingLines {
public:
    explicit PendingLines(std::atomic<std::uint64_t>& holder) : holder_(holder)
    {
        const std::uint64_t self = CurrentThreadId();
        while (!TakePendingLines(holder_, self)) PauseFor(1);
    }
    ~PendingLines() { holder_ = 0; }
    PendingLines(const PendingLines&) = delete;
    PendingLines& operator=(const PendingLines&) = delete;

private:
    std::atomic<std::uint64_t>& holder_;
};

}  // namespace

Logger::Logger(const std::filesystem::path& file, FallbackFile fallback) : file_(OpenWithFallback(file, fallback)) {}

Logger::~Logger()
{
    const PendingLines lines(pendingHolder_);
    WritePending();
}

void Logger::Log(const std::wstring& message)
{
    if (!file_) return;
    const std::string line = EncodeUtf8(FormatLogLine(LocalTimestamp(), message));
    const PendingLines lines(pendingHolder_);
    pending_ += line;
    if (pending_.size() >= kPendingLimit) WritePending();
}

void Logger::WriteNow(const wchar_t* pattern, std::initializer_list<std::wstring_view> values) noexcept
{
    if (!file_) return;
    wchar_t message[kUrgentLineBytes / 3];
    const std::size_t length = FillInto(message, std::size(message), pattern, values);
    char line[kUrgentLineBytes];
    const std::size_t size = FormatLogLineUtf8(LocalTimestamp(), std::wstring_view(message, length), line, sizeof line);
    // The calling thread may have been stopped inside Log: it must not wait
    // for itself, nor touch lines it was in the middle of changing.
    const std::uint64_t self = CurrentThreadId();
    bool hasLines = false;
    if (pendingHolder_ != self) {
        for (int i = 0; i < kPendingTries && !(hasLines = TakePendingLines(pendingHolder_, self)); ++i) {
            PauseFor(kPendingRetryMs);
        }
    }
    if (hasLines) {
        WritePending();
        pendingHolder_ = 0;
    }
    AppendToLog(file_, std::string_view(line, size));
}

void Logger::WritePending()
{
    AppendToLog(file_, pending_);
    pending_.clear();  // keeps its capacity: no heap call
}
