#include "log/logger.h"

#include <iterator>

#include "log/fill_in.h"
#include "log/log_line.h"

namespace {
// A run writes a few hundred bytes; the room only bounds memory for huge lines.
constexpr std::size_t kPendingRoom = 64 * 1024;
// Room for the lines written in one emergency (the crash's three, a stack of
// frames among them) in UTF-8.
constexpr std::size_t kUrgentBytes = 4096;
constexpr std::size_t kUrgentLineChars = 1024;
// Log holds the lines for microseconds; a holder that keeps them longer is stuck.
constexpr unsigned kPendingWaitMs = Logger::kUrgentWaitMs - kLogTurnWaitMs;
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

Logger::Logger(const std::filesystem::path& file, FallbackFile fallback) : file_(OpenWithFallback(file, fallback))
{
    if (file_) pending_.reserve(kPendingRoom);
}

Logger::~Logger()
{
    const PendingLines lines(pendingHolder_);
    WritePending();
}

void Logger::Add(const std::wstring& message)
{
    if (!file_) return;
    const std::string line = EncodeUtf8(FormatLogLine(LocalTimestamp(), message));
    const PendingLines lines(pendingHolder_);
    if (pending_.size() + line.size() > pending_.capacity()) WritePending();
    if (line.size() > pending_.capacity()) {
        AppendToLog(file_, {line});
    } else {
        pending_ += line;
    }
}

void Logger::WriteNow(std::initializer_list<UrgentLine> lines) noexcept
{
    if (!file_) return;
    const LogTimestamp now = LocalTimestamp();
    char text[kUrgentBytes];
    std::size_t size = 0;
    for (const UrgentLine& line : lines) {
        wchar_t message[kUrgentLineChars];
        const std::size_t length = FillInto(message, std::size(message), line.pattern_, line.values_, line.count_);
        size += FormatLogLineUtf8(now, std::wstring_view(message, length), text + size, sizeof text - size);
    }
    // The calling thread may have been stopped inside Log: it must not wait
    // for itself, nor touch lines it was in the middle of changing.
    const std::uint64_t self = CurrentThreadId();
    bool hasLines = false;
    if (pendingHolder_ != self) {
        const std::uint64_t start = MonotonicMs();
        while (!(hasLines = TakePendingLines(pendingHolder_, self)) && MonotonicMs() - start < kPendingWaitMs) {
            PauseFor(kPendingRetryMs);
        }
    }
    if (hasLines) {
        AppendToLog(file_, {pending_, std::string_view(text, size)});
        pending_.clear();  // keeps its room: no heap call
        pendingHolder_ = 0;
    } else {
        AppendToLog(file_, {std::string_view(text, size)});
    }
}

void Logger::WritePending()
{
    AppendToLog(file_, {pending_});
    pending_.clear();  // keeps its room: no heap call
}
