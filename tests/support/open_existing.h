#pragma once

#include <windows.h>

#include <filesystem>

#include "common/unique_handle.h"

using UniqueHandle = Unique<HANDLE, &CloseHandle>;

// Opens an existing file as another process would; empty when it cannot.
UniqueHandle OpenExisting(const std::filesystem::path& file, DWORD access, DWORD share);

// Takes the log writers' turn on `file`, as a writer stopped while it has it;
// closing `file` gives it back.
bool TakeLogTurn(HANDLE file);
