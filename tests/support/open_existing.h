#pragma once

#include <windows.h>

#include <filesystem>

#include "common/unique_handle.h"

using UniqueHandle = Unique<HANDLE, &CloseHandle>;

// Opens an existing file as another process would; empty when it cannot.
UniqueHandle OpenExisting(const std::filesystem::path& file, DWORD access, DWORD share);
