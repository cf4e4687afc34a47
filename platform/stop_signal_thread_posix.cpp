// The stop signals' thread on POSIX: the calling thread's signal mask.
#include <pthread.h>
#include <signal.h>

#include "platform/stop_signal_thread.h"
#include "platform/stop_signals_posix.h"

bool HoldStopSignals(bool hold) {
    sigset_t stops;
    sigemptyset(&stops);
    for (const int signal : kStopSignals) sigaddset(&stops, signal);
    sigset_t before;
    sigemptyset(&before);
    pthread_sigmask(hold ? SIG_BLOCK : SIG_UNBLOCK, &stops, &before);
    return sigismember(&before, SIGINT) == 1;
}
