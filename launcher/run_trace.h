#pragma once

#include <cstdint>
#include <filesystem>

class Logger;

// While it lives, a run that cannot end normally still leaves its lines in the
// log: a crash, heap corruption, std::terminate, abort() and the runtime's own
// fatal checks write them with a line saying what happened; a run still going
// after 10 s writes them with a line saying so (and, should it then end after
// all, a line with how long it took); a closed console window, Ctrl+C or
// Ctrl+Break writes them with a line saying how the run was ended. Made once,
// right after the logger, and destroyed before it: the destructor waits for
// a handler that is still writing, and every handler that comes later writes
// nothing.
class RunTrace {
public:
    RunTrace(Logger& logger, const std::filesystem::path& ownExe);
    ~RunTrace();
    RunTrace(const RunTrace&) = delete;
    RunTrace& operator=(const RunTrace&) = delete;

    // Puts the crash lines first again after a module (a graphics driver, an
    // overlay) has set its own unhandled-exception filter; that filter then
    // runs after the launcher's lines are written.
    static void KeepCrashTraceFirst();

private:
    Logger& logger_;
    std::uint64_t startTick_;
};
