// The log's file layer for the native (Linux) build of the logic, which runs
// the unit tests under the sanitizers. The launcher itself uses the Win32 one.
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <time.h>
#include <cstdint>
#include <ctime>

#include "log/log_file.h"

namespace {

// The descriptor travels in the pointer, offset by one so that 0 stays valid.
void* ToPointer(int fd) { return reinterpret_cast<void*>(static_cast<std::intptr_t>(fd) + 1); }
int ToDescriptor(void* file) { return static_cast<int>(reinterpret_cast<std::intptr_t>(file) - 1); }

}  // namespace

void LogFileCloser::operator()(void* file) const noexcept { close(ToDescriptor(file)); }

LogFile OpenLogForAppend(const std::filesystem::path& file)
{
    const int fd = open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return LogFile{};
    return LogFile{ToPointer(fd)};
}

void AppendToLog(const LogFile& file, std::initializer_list<std::string_view> pieces) noexcept
{
    if (!file) return;
    for (const std::string_view bytes : pieces) {
        [[maybe_unused]] const ssize_t written = write(ToDescriptor(file.get()), bytes.data(), bytes.size());
    }
}

LogTimestamp LocalTimestamp() noexcept
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

std::uint64_t CurrentThreadId() noexcept { return static_cast<std::uint64_t>(syscall(SYS_gettid)); }

std::uint64_t MonotonicMs() noexcept
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000 + static_cast<std::uint64_t>(now.tv_nsec) / 1000000;
}

void PauseFor(unsigned milliseconds) noexcept
{
    timespec pause{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    nanosleep(&pause, nullptr);
}
