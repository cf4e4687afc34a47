// The host's seam on POSIX, its stop signals: what the handler does with a
// first stop, the same stop sent twice, and a second one that ends the
// process at once (platform/stop_signals_posix.h lists the signals).
#include "platform/host_os.h"
#include "platform/stop_signals_posix.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <ctime>
#include <string>

namespace {

// What the stop handler keeps: set before the handlers are installed, or
// written only while the handler cannot read it (see RemoveAtSuddenEnd).
void (*stopCallback)(int) = nullptr;
volatile sig_atomic_t firstStop = 0;
timespec firstStopAt = {};
char suddenEndFile[PATH_MAX + 1];
volatile sig_atomic_t suddenEndArmed = 0;

// One stop sent twice, as coreutils' timeout sends it (to the process,
// then to its group), arrives within this.
constexpr long kSameStopNanoseconds = 500000000;

bool WithinOneStop(const timespec& now) {
    const long long apart = (now.tv_sec - firstStopAt.tv_sec) * 1000000000LL + (now.tv_nsec - firstStopAt.tv_nsec);
    return apart >= 0 && apart < kSameStopNanoseconds;
}

// Async-signal-safe throughout: clock_gettime, unlink, sigaction, kill.
extern "C" void TakeStopSignal(int signal, siginfo_t* info, void*) {
    // A closed pipe or the file size limit met by a write of our own: the
    // write fails with its reason (EPIPE, EFBIG), which is what to report.
    if ((signal == SIGPIPE || signal == SIGXFSZ) && info != nullptr && info->si_code == SI_USER &&
        info->si_pid == getpid()) {
        return;
    }
    // The interrupted call's errno (EINTR, say) is left as it was.
    const int interrupted = errno;
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const bool first = firstStop == 0;
    if (first) {
        firstStop = signal;
        firstStopAt = now;
        stopCallback(signal);
    }
    if (first || (signal == firstStop && WithinOneStop(now))) {
        errno = interrupted;
        return;
    }
    // A second stop ends the process at once, as the signal does by
    // default, leaving no hidden file behind.
    if (suddenEndArmed) unlink(suddenEndFile);
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    kill(getpid(), signal);
}

}  // namespace

void InstallSignalHandlers(void (*onStop)(int)) {
    stopCallback = onStop;
    struct sigaction action = {};
    action.sa_sigaction = TakeStopSignal;
    sigemptyset(&action.sa_mask);
    // One stop handled at a time: a second one waits until the first returns.
    for (const int signal : kStopSignals) sigaddset(&action.sa_mask, signal);
    action.sa_flags = SA_SIGINFO;
    for (const int signal : kStopSignals) {
        // nohup's promise is kept: a hangup ignored from the start stays so.
        struct sigaction before = {};
        if (signal == SIGHUP && sigaction(SIGHUP, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        sigaction(signal, &action, nullptr);
    }
}

void RemoveAtSuddenEnd(const std::string& path) {
    // Disarmed while the name is written, so that the handler never reads
    // half of one; a name too long for the buffer is not kept.
    suddenEndArmed = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (path.empty() || path.size() > PATH_MAX) return;
    std::memcpy(suddenEndFile, path.c_str(), path.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    suddenEndArmed = 1;
}
