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
    _wfreopen_s(&stream, L"CONOUT$", L"w", stdout);
    _wfreopen_s(&stream, L"CONOUT$", L"w", stderr);
    _wfreopen_s(&stream, L"CONIN$", L"r", stdin);
    _setmode(_fileno(stdout), _O_U16TEXT);
    _setmode(_fileno(stderr), _O_U16TEXT);
    _setmode(_fileno(stdin), _O_U16TEXT);
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
