#include "launcher/run_sequence.h"

int wmain(int argc, wchar_t** argv)
{
    // The run reports its failures as exit codes; only running out of memory
    // can throw, and then no game was started.
    try {
        return RunLauncher(argc, argv);
    } catch (...) {
        return 2;
    }
}
