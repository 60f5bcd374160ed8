#include "tests/support/open_existing.h"

#include "log/log_file.h"

UniqueHandle OpenExisting(const std::filesystem::path& file, DWORD access, DWORD share)
{
    const HANDLE handle = CreateFileW(file.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
    return UniqueHandle{handle == INVALID_HANDLE_VALUE ? nullptr : handle};
}

bool TakeLogTurn(HANDLE file)
{
    OVERLAPPED turn{};
    turn.Offset = static_cast<DWORD>(kLogTurnOffset & 0xFFFFFFFF);
    turn.OffsetHigh = static_cast<DWORD>(kLogTurnOffset >> 32);
    return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &turn);
}
