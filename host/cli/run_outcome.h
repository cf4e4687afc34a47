// How a command ended, which main turns into the exit status.
#pragma once

enum class RunOutcome {
    Done,         // 0
    Failed,       // 1: the job failed, or wrote fewer frames than the input held
    Usage,        // 2: the command line (or how rozove was started) is wrong
    Interrupted,  // 128 + the signal: 130 for SIGINT, 143 for SIGTERM
};
