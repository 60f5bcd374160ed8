#pragma once

// The unhandled-exception filters that the run trace found in its place, and
// an exception's way down them as the system's chain would have run them
// without the launcher's: newest first, each once. A filter that hands on to
// the one it replaced, the launcher's, reaches the next one down. Everything
// here lives as long as the process.
#include <windows.h>

#include <atomic>
#include <cstddef>

// Forgets the filters found so far but `replaced`, the one the launcher's
// took the place of when the trace opened (the runtime's own).
void FindFiltersFrom(LPTOP_LEVEL_EXCEPTION_FILTER replaced);
// A module's filter, found in the launcher's place; kept once.
void AddFoundFilter(LPTOP_LEVEL_EXCEPTION_FILTER found);
LPTOP_LEVEL_EXCEPTION_FILTER NewestFoundFilter();

// One exception on its way down the filters found, on one thread.
struct FilterWalk {
    std::atomic<DWORD> Thread{0};
    const EXCEPTION_RECORD* Record = nullptr;
    std::size_t Next = 0;                          // the filters below this one have yet to run
    LPTOP_LEVEL_EXCEPTION_FILTER Above = nullptr;  // the filter that called the launcher's, if any
    bool LinesDue = false;                         // the trace's lines are still to be written
    bool Told = false;                             // they were written
};

// The walk the calling thread is on, if any.
FilterWalk* WalkOfThisThread();
// A walk of `record` for the calling thread, from the newest filter found;
// null when there is no room for another. `launchers` is the trace's own
// filter.
FilterWalk* StartWalk(const EXCEPTION_RECORD& record, LPTOP_LEVEL_EXCEPTION_FILTER launchers);
void EndWalk(FilterWalk& walk);

// Hands the exception to the next filter down and returns its verdict, or
// EXCEPTION_CONTINUE_SEARCH when none is left. `beforeModulesFilter` runs
// first when that filter is a module's, which may end the process itself;
// the runtime's own only gives a verdict.
LONG RunNextFilter(FilterWalk& walk, EXCEPTION_POINTERS* info,
                   void (*beforeModulesFilter)(FilterWalk& walk, const EXCEPTION_POINTERS& info));
