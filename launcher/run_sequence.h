#pragma once

// The launcher's whole run, from the console window to the exit code:
// 0 when the game was started, 1 when it was not found, 2 when it could not
// be started or memory ran out.
int RunLauncher(int argc, const wchar_t* const* argv);
