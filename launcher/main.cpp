#include "launcher/run_sequence.h"

int wmain(int argc, wchar_t** argv)
{
    // The run reports its failures as exit codes, and logs whatever it throws
    // once its log is open. Before that (running out of memory, say) it ends
    // here, with no game started.
    try {
        return RunLauncher(argc, argv);
    } catch (...) {
        return 2;
    }
}
