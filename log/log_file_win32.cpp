
#include <windows.h>

#include "common/extended_length_path.h"
#include "log/log_file.h"

namespace {

// The lock is on one byte far beyond any log's end, so readers of the log
// never meet it.
OVERLAPPED LogTurn()
{
    OVERLAPPED turn{};
    turn.Offset = static_cast<DWORD>(kLogTurnOffset & 0xFFFFFFFF);
    turn.OffsetHigh = static_cast<DWORD>(kLogTurnOffset >> 32);
    return turn;
}

bool TakeTurn(HANDLE file, OVERLAPPED& turn)
{
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &turn)) return true;
        if (GetLastError() != ERROR_LOCK_VIOLATION || GetTickCount64() - start >= kLogTurnWaitMs) return false;
        Sleep(5);
    }
}

}  // namespace

void LogFileCloser::operator()(void* file) const noexcept { CloseHandle(file); }

LogFile OpenLogForAppend(const std::filesystem::path& file)
{
    // Append-only writing puts every WriteFile at the end of the file; read
    // access is there because LockFileEx asks for it. A reader that shares the
    // file for writing but not for reading refuses that open; the log is then
    // appended to without taking turns, rather than lost.
    const std::wstring path = ExtendedLengthPath(file.wstring());
    for (const DWORD access : {DWORD{FILE_READ_DATA | FILE_APPEND_DATA}, DWORD{FILE_APPEND_DATA}}) {
        HANDLE handle = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) return LogFile{handle};
    }
    return LogFile{};
}

void AppendToLog(const LogFile& file, std::initializer_list<std::string_view> pieces) noexcept
{
    if (!file) return;
    // Launchers started together take turns, so that no write lands on top of
    // another (not every file system makes appends atomic). A turn that does
    // not come within the wait (a holder stopped in a debugger, a dropped
    // share) or cannot be had at all leaves the write unguarded, not undone.
    OVERLAPPED turn = LogTurn();
    const bool locked = TakeTurn(file.get(), turn);
    for (const std::string_view bytes : pieces) {
        DWORD written = 0;
        if (!bytes.empty()) WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    if (locked) UnlockFileEx(file.get(), 0, 1, 0, &turn);
}

LogTimestamp LocalTimestamp() noexcept
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

std::uint64_t CurrentThreadId() noexcept { return GetCurrentThreadId(); }

std::uint64_t MonotonicMs() noexcept { return GetTickCount64(); }

void PauseFor(unsigned milliseconds) noexcept { Sleep(milliseconds); }
