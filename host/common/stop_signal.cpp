// Stop requests from signals. On Linux the handler is installed without
// SA_RESTART, so a read blocked on a pipe returns at once and the job can
// finish; SA_RESETHAND makes a second signal end the process. The Windows
// runtime resets a handler before calling it, which gives the same.
#include "host/common/stop_signal.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void OnStopSignal(int signalNumber) {
    stopSignal = signalNumber;
}

}  // namespace

#if defined(_WIN32)

void InstallStopHandlers() {
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
}

#else

void InstallStopHandlers() {
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A reader that closes standard output early is a failure to report
    // with its reason, not a silent death by SIGPIPE: writes then fail with EPIPE.
    std::signal(SIGPIPE, SIG_IGN);
}

#endif

bool StopRequested() {
    return stopSignal != 0;
}

int StopSignal() {
    return stopSignal;
}
