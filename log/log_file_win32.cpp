
#include <windows.h>

#include "log/log_file.h"

namespace {

// CreateFileW refuses paths of MAX_PATH units or more unless they carry the
// extended-length prefix; the launcher folder may be that deep.
std::wstring ExtendedLengthPath(const std::wstring& path)
{
    if (path.size() < MAX_PATH || path.rfind(L"\\\\?\\", 0) == 0) return path;
    if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
    if (path.size() > 2 && path[1] == L':') return L"\\\\?\\" + path;
    return path;
}

}  // namespace

void LogFileCloser::operator()(void* file) const noexcept { CloseHandle(file); }

LogFile OpenLogForAppend(const std::filesystem::path& file)
{
    // Append-only writing puts every WriteFile at the end of the file; read
    // access is there because LockFileEx asks for it.
    HANDLE handle =
        CreateFileW(ExtendedLengthPath(file.wstring()).c_str(), FILE_READ_DATA | FILE_APPEND_DATA,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LogFile{};
    return LogFile{handle};
}

void AppendToLog(const LogFile& file, const std::string& bytes)
{
    if (!file || bytes.empty()) return;
    // Launchers started together take turns, so that no write lands on top of
    // another (not every file system makes appends atomic). The lock is on
    // one byte far beyond any log's end, so readers of the log never meet it.
    OVERLAPPED turn{};
    turn.Offset = 0xFFFFFFFE;
    turn.OffsetHigh = 0x7FFFFFFF;
    const bool locked = LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &turn);
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (locked) UnlockFileEx(file.get(), 0, 1, 0, &turn);
}

LogTimestamp LocalTimestamp()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}
