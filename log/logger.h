#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

#include "log/fill_in.h"
#include "log/log_file.h"
#include "log/log_message.h"

// The launcher's one reporting channel: timestamped lines appended to the log
// file. Lines wait in memory and reach the file in whole-line writes, at the
// latest when the logger is destroyed. A file that cannot be opened makes
// every Log call do nothing.
class Logger {
public:
    // Where the log goes when `file` cannot be opened; asked only then. An
    // empty path means nowhere.
    using FallbackFile = std::filesystem::path (*)();

    explicit Logger(const std::filesystem::path& file, FallbackFile fallback = nullptr);
    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    template <std::size_t Count, typename... Values>
    void Log(const LogMessage<Count>& message, const Values&... values)
    {
        Add(FillIn(message, values...));
    }

    // One line for WriteNow: a message and its values, which must outlive it.
    class UrgentLine {
    public:
        template <std::size_t Count, typename... Values>
        UrgentLine(const LogMessage<Count>& message, const Values&... values) noexcept
            : pattern_(message.Text()), values_{std::wstring_view(values)...}, count_(Count)
        {
            static_assert(sizeof...(Values) == Count, "a message takes as many values as its text has {}");
            static_assert(Count <= kMaxValues, "an urgent line takes at most three values");
        }

    private:
        friend class Logger;
        static constexpr std::size_t kMaxValues = 3;
        const wchar_t* pattern_;
        std::wstring_view values_[kMaxValues];
        std::size_t count_;
    };

    // The longest WriteNow takes when another thread has the lines so far
    // and another process has its turn at the file: a dying run is kept no
    // longer than this.
    static constexpr unsigned kUrgentWaitMs = 2500;

    // Writes the lines so far and then `lines`, at once, in one append.
    // Made for code that runs when the run may be damaged (an exception
    // filter, a console control handler, a watchdog, no memory left): it
    // allocates nothing, takes no lock of the runtime's, and waits only
    // briefly for the lines so far. When another thread keeps them, or the
    // calling thread was inside Log, `lines` are written alone.
    void WriteNow(std::initializer_list<UrgentLine> lines) noexcept;
    template <std::size_t Count, typename... Values>
    void WriteNow(const LogMessage<Count>& message, const Values&... values) noexcept
    {
        WriteNow({UrgentLine(message, values...)});
    }

private:
    void Add(const std::wstring& message);
    void WritePending();

    LogFile file_;
    // The thread that has the pending lines, 0 when none has. A plain atomic
    // rather than a mutex: the runtime's mutexes may allocate on first use,
    // and an emergency must see which thread has the lines.
    std::atomic<std::uint64_t> pendingHolder_{0};
    // Its room is reserved up front, so that adding a line never calls the
    // heap while the line's thread has the lines: an emergency on another
    // thread may be waiting for them, and the heap's lock may be lost.
    std::string pending_;
};
