// Stop requests from signals: the handler only raises the flag that the
// job answers through isAborted. How it is installed (so that a blocked
// read returns and a second signal ends the process) is the platform's
// part, in platform/host_os.h.
#include "host/common/stop_signal.h"

#include <atomic>
#include <csignal>

#include "platform/host_os.h"

namespace {

// Raised on whichever thread takes the signal, read on the others: an
// atomic that is lock-free, so the handler may set it.
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may set only a lock-free atomic");

extern "C" void OnStopSignal(int signalNumber) {
    stopSignal = signalNumber;
}

}  // namespace

void InstallStopHandlers() {
    InstallSignalHandlers(OnStopSignal);
}

bool StopRequested() {
    return stopSignal != 0;
}

int StopSignal() {
    return stopSignal;
}
