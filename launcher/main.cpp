#include "launcher/run_sequence.h"

int wmain(int argc, wchar_t** argv)
{
    // The run reports its failures as exit codes; only running out of memory
    // can throw, and then no game was started. The run logs it once its log
    // is open; before that it ends here.
    try {
        return RunLauncher(argc, argv);
    } catch (...) {
        return 2;
    }
}
