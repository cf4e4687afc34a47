// Stop requests from signals: the handler only raises the flag that the
// job answers through isAborted. How it is installed (so that a blocked
// read returns and a second signal ends the process) is the platform's
// part, in platform/host_os.h.
#include "host/common/stop_signal.h"

#include <csignal>

#include "platform/host_os.h"

namespace {

volatile std::sig_atomic_t stopSignal = 0;

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
