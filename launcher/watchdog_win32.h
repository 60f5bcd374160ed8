#pragma once

#include <windows.h>

#include <atomic>

// Calls `late` once, `afterMs` from now, on a thread of its own, if
// `generation` then still holds the value it holds now. Returns once that
// thread has started, or after a short bound: a thread's start needs the
// loader lock, which a hanging DllMain would hold for good once the run loads
// the graphics driver. The thread is never waited for after that: the
// process ends it.
void StartWatchdog(DWORD afterMs, const std::atomic<unsigned>& generation, void (*late)());
