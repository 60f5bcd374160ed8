#include "launcher/filter_chain_win32.h"

#include <algorithm>

#include "launcher/crash_forensics_win32.h"

namespace {

constexpr std::size_t kMaxFilters = 8;
constexpr std::size_t kMaxWalks = 8;

// Oldest first: the one the launcher's replaced, then each module's.
std::atomic<LPTOP_LEVEL_EXCEPTION_FILTER> found[kMaxFilters] = {};
std::atomic<std::size_t> foundCount{0};
FilterWalk walks[kMaxWalks];

std::size_t FoundCount() { return std::min(foundCount.load(), kMaxFilters); }

// The filter now in the system's hands when it is not the launcher's: it has
// run, and reached the launcher's through its own chain.
LPTOP_LEVEL_EXCEPTION_FILTER FilterAbove(LPTOP_LEVEL_EXCEPTION_FILTER launchers)
{
    const LPTOP_LEVEL_EXCEPTION_FILTER top = SetUnhandledExceptionFilter(launchers);
    if (top == launchers) return nullptr;
    SetUnhandledExceptionFilter(top);
    return top;
}

}  // namespace

void FindFiltersFrom(LPTOP_LEVEL_EXCEPTION_FILTER replaced)
{
    foundCount = 0;
    found[0] = replaced;
    foundCount = 1;
}

void AddFoundFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter)
{
    const std::size_t count = FoundCount();
    for (std::size_t i = 0; i < count; ++i) {
        if (found[i].load() == filter) return;
    }
    if (count == kMaxFilters) return;
    found[count] = filter;
    foundCount = count + 1;
}

LPTOP_LEVEL_EXCEPTION_FILTER NewestFoundFilter()
{
    const std::size_t count = FoundCount();
    return count > 0 ? found[count - 1].load() : nullptr;
}

FilterWalk* WalkOfThisThread()
{
    const DWORD self = GetCurrentThreadId();
    for (FilterWalk& walk : walks) {
        if (walk.Thread.load() == self) return &walk;
    }
    return nullptr;
}

FilterWalk* StartWalk(const EXCEPTION_RECORD& record, LPTOP_LEVEL_EXCEPTION_FILTER launchers)
{
    for (FilterWalk& walk : walks) {
        DWORD free = 0;
        if (!walk.Thread.compare_exchange_strong(free, GetCurrentThreadId())) continue;
        walk.Record = &record;
        walk.Next = FoundCount();
        walk.Above = FilterAbove(launchers);
        walk.LinesDue = false;
        walk.Told = false;
        return &walk;
    }
    return nullptr;
}

void EndWalk(FilterWalk& walk) { walk.Thread = 0; }

LONG RunNextFilter(FilterWalk& walk, EXCEPTION_POINTERS* info,
                   void (*beforeModulesFilter)(FilterWalk& walk, const EXCEPTION_POINTERS& info))
{
    while (walk.Next > 0) {
        const std::size_t index = --walk.Next;
        const LPTOP_LEVEL_EXCEPTION_FILTER filter = found[index].load();
        // One whose module has been unloaded cannot run.
        if (filter == walk.Above || !IsCode(reinterpret_cast<const void*>(filter))) continue;
        if (index > 0) beforeModulesFilter(walk, *info);
        return filter(info);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}
