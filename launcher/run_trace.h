#pragma once

#include <filesystem>

#include "common/unique_handle.h"

class Logger;

// CloseHandle, kept out of this header with <windows.h>.
void CloseTraceHandle(void* handle);

// While it lives, a run that cannot end normally still leaves its lines in the
// log: a crash writes them with the crash lines, a run still going after 10 s
// writes them with a line saying so, and a closed console window, Ctrl+C or
// Ctrl+Break writes them with a line saying how the run was ended. Made once,
// right after the logger, and destroyed before it.
class RunTrace {
public:
    RunTrace(Logger& logger, const std::filesystem::path& ownExe);
    ~RunTrace();
    RunTrace(const RunTrace&) = delete;
    RunTrace& operator=(const RunTrace&) = delete;

private:
    using Handle = Unique<void*, &CloseTraceHandle>;
    Handle stopWatch_;  // an event
    Handle watch_;      // the watchdog thread
};
