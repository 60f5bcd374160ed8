#include "log/logger.h"

#include <chrono>
#include <iterator>
#include <system_error>
#include <thread>

#include "log/fill_in.h"
#include "log/log_line.h"

namespace {
// A run writes a few hundred bytes; the cap only bounds memory for huge lines.
constexpr std::size_t kPendingLimit = 64 * 1024;
// Room for the longest line written in an emergency (a stack of frames) in UTF-8.
constexpr std::size_t kUrgentLineBytes = 4096;
// Log holds the lines for microseconds; a holder that keeps them longer is stuck.
constexpr int kPendingTries = 100;
constexpr auto kPendingRetry = std::chrono::milliseconds(5);

LogFile OpenWithFallback(const std::filesystem::path& file, const std::filesystem::path& fallback)
{
    LogFile opened = OpenLogForAppend(file);
    if (opened || fallback.empty()) return opened;
    std::error_code ignored;
    std::filesystem::create_directories(fallback.parent_path(), ignored);
    return OpenLogForAppend(fallback);
}

// Marks the thread that holds the pending lines, so that an emergency on that
// same thread never waits for itself.
class HolderMark {
public:
    explicit HolderMark(std::atomic<std::uint64_t>& holder) : holder_(holder) { holder_ = CurrentThreadId(); }
    ~HolderMark() { holder_ = 0; }
    HolderMark(const HolderMark&) = delete;
    HolderMark& operator=(const HolderMark&) = delete;

private:
    std::atomic<std::uint64_t>& holder_;
};

}  // namespace

Logger::Logger(const std::filesystem::path& file, const std::filesystem::path& fallback)
    : file_(OpenWithFallback(file, fallback))
{
}

Logger::~Logger()
{
    const std::lock_guard<std::mutex> lock(pendingMutex_);
    WritePending();
}

void Logger::Log(const std::wstring& message)
{
    if (!file_) return;
    const std::string line = EncodeUtf8(FormatLogLine(LocalTimestamp(), message));
    const std::lock_guard<std::mutex> lock(pendingMutex_);
    const HolderMark mark(pendingHolder_);
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
    std::unique_lock<std::mutex> lock(pendingMutex_, std::defer_lock);
    if (pendingHolder_ != CurrentThreadId()) {
        for (int i = 0; i < kPendingTries && !lock.try_lock(); ++i) std::this_thread::sleep_for(kPendingRetry);
    }
    if (lock.owns_lock()) {
        const HolderMark mark(pendingHolder_);
        AppendToLog(file_, pending_);
        pending_.clear();  // keeps its capacity: no heap call
    }
    AppendToLog(file_, std::string_view(line, size));
}

void Logger::WritePending()
{
    AppendToLog(file_, pending_);
    pending_.clear();
}
