// The stop signals' thread on Windows: Ctrl-C runs its handler on a thread
// of its own, so no thread has anything to hold back.
#include "platform/stop_signal_thread.h"

bool HoldStopSignals(bool) {
    return false;
}
