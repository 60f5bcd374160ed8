#pragma once

// The run trace's handlers, as the system calls them; declared for the
// platform tests, which call them directly.
#include <windows.h>

LONG WINAPI LeaveCrashTrace(EXCEPTION_POINTERS* info);
BOOL WINAPI LeaveEndTrace(DWORD event);
// The still-running line, as the watchdog writes it after its wait.
void LeaveStillRunningTrace();
