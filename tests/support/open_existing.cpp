#include "tests/support/open_existing.h"

UniqueHandle OpenExisting(const std::filesystem::path& file, DWORD access, DWORD share)
{
    const HANDLE handle = CreateFileW(file.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
    return UniqueHandle{handle == INVALID_HANDLE_VALUE ? nullptr : handle};
}
