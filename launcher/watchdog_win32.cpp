#include "launcher/watchdog_win32.h"

namespace {

constexpr DWORD kStartWaitMs = 1000;

struct Watch {
    DWORD AfterMs;
    const std::atomic<unsigned>* Generation;
    unsigned Started;
    void (*Late)();
};

// Kept for the life of the process: a watch's thread may start after its
// starter has stopped waiting for it.
HANDLE watchStarted = nullptr;

DWORD WINAPI WaitThenCallLate(void* started)
{
    const Watch watch = *static_cast<const Watch*>(started);
    delete static_cast<const Watch*>(started);
    SetEvent(watchStarted);
    Sleep(watch.AfterMs);
    if (watch.Generation->load() == watch.Started) watch.Late();
    return 0;
}

}  // namespace

void StartWatchdog(DWORD afterMs, const std::atomic<unsigned>& generation, void (*late)())
{
    if (!watchStarted) watchStarted = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ResetEvent(watchStarted);
    auto* const watch = new Watch{afterMs, &generation, generation.load(), late};
    // The default stack: the thread ends with every loaded DLL's detach on it.
    const HANDLE thread = CreateThread(nullptr, 0, WaitThenCallLate, watch, 0, nullptr);
    if (!thread) {
        delete watch;
        return;
    }
    CloseHandle(thread);
    WaitForSingleObject(watchStarted, kStartWaitMs);
}
