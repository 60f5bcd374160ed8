#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string_view>

#include "log/log_line.h"

// The platform side of the log: a file opened for appending, shared for
// reading and writing with other processes, and the local clock.

struct LogFileCloser {
    void operator()(void* file) const noexcept;
};
using LogFile = std::unique_ptr<void, LogFileCloser>;

// Null when the file cannot be opened or created.
LogFile OpenLogForAppend(const std::filesystem::path& file);

// `pieces` appended in order at the current end of the file, in one turn.
// Writers take turns through an exclusive lock on the byte at kLogTurnOffset;
// a turn that is not given within kLogTurnWaitMs is not waited for longer, and
// the pieces are appended without it.
constexpr std::uint64_t kLogTurnOffset = 0x7FFFFFFFFFFFFFFE;
constexpr unsigned kLogTurnWaitMs = 2000;
void AppendToLog(const LogFile& file, std::initializer_list<std::string_view> pieces) noexcept;

LogTimestamp LocalTimestamp() noexcept;

// The calling thread's identity, never 0; it asks nothing of the heap.
std::uint64_t CurrentThreadId() noexcept;

// Milliseconds from an arbitrary start, never going back.
std::uint64_t MonotonicMs() noexcept;

// Gives up the processor for about `milliseconds`, straight through the
// system: the C++ runtime's sleep may allocate on a thread it has not seen.
void PauseFor(unsigned milliseconds) noexcept;
