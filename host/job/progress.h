// The progress bar on standard error while a job runs: frames done, the
// total when it is known, frames per second and the time left, fitted to
// the terminal's width as it is at each draw. Drawn only when standard
// error is a terminal, at most ten times a second.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

using ProgressClock = std::chrono::steady_clock;

struct Progress {
    bool enabled;
    int64_t total;  // -1 while unknown (a pipe)
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point lastDraw;
    bool drawn;
    size_t lastLength;
};

// STARTED: when the job began (the command's start, before the input was
// probed), which the speed and the time left count from.
void StartProgress(Progress* progress, int64_t total, bool enabled, ProgressClock::time_point started);
// DONE frames have been handed to the module.
void UpdateProgress(Progress* progress, int64_t done);
// Draws the final state and ends the line, so that what follows starts clean.
void FinishProgress(Progress* progress, int64_t done);

// One line of the bar, e.g. "[#####-----]  45/90  29.8 fps  0:02 left",
// shorter than COLUMNS (0: 80): the bar shrinks, then the speed, the time
// and the bar are left out in turn.
std::string FormatProgress(int64_t done, int64_t total, double seconds, int columns = 0);

// True when standard error is a terminal.
bool ErrorIsTerminal();
