// The stop signals' thread on POSIX: the calling thread's signal mask.
#include <pthread.h>
#include <signal.h>

#include "platform/stop_signal_thread.h"
#include "platform/stop_signals_posix.h"

void HoldStopSignals(bool hold) {
    sigset_t stops;
    sigemptyset(&stops);
    for (const int signal : kStopSignals) sigaddset(&stops, signal);
    pthread_sigmask(hold ? SIG_BLOCK : SIG_UNBLOCK, &stops, nullptr);
}
