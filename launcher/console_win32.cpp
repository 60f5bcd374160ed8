#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "launcher/console.h"
#include "launcher/resource.h"

namespace {

void BindStandardStreams()
{
    FILE* stream = nullptr;
    const bool outBound = _wfreopen_s(&stream, L"CONOUT$", L"w", stdout) == 0;
    const bool errBound = _wfreopen_s(&stream, L"CONOUT$", L"w", stderr) == 0;
    const bool inBound = _wfreopen_s(&stream, L"CONIN$", L"r", stdin) == 0;
    // A failed re-bind leaves the stream closed with descriptor -1, and the
    // Microsoft runtime ends the process on _setmode(-1, ...).
    if (outBound) _setmode(_fileno(stdout), _O_U16TEXT);
    if (errBound) _setmode(_fileno(stderr), _O_U16TEXT);
    if (inBound) _setmode(_fileno(stdin), _O_U16TEXT);
}

HICON LoadOwnIcon(int size)
{
    return static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_ICON1), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

// The icons stay loaded until the process ends: the console window shows them.
void SetConsoleIcons()
{
    const HWND console = GetConsoleWindow();
    if (!console) return;
    const HICON bigIcon = LoadOwnIcon(32);
    const HICON smallIcon = LoadOwnIcon(16);
    if (bigIcon) SendMessageW(console, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
    if (smallIcon) SendMessageW(console, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
}

}  // namespace

void PrepareConsole()
{
    if (!GetConsoleWindow()) AllocConsole();
    SetConsoleTitleW(L"OrvelLauncher \u2014 DX Auto-Selector");
    BindStandardStreams();
    SetConsoleIcons();
}
