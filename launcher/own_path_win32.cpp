
#include <windows.h>

#include <string>

#include "launcher/own_path.h"

std::filesystem::path OwnExecutablePath()
{
    // A path that does not fit comes back cut short, so grow until it fits.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        if (buffer.size() >= 65536) return buffer;  // beyond any path the system allows
        buffer.resize(buffer.size() * 2);
    }
}
