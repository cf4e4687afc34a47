// The progress bar on standard error while a job runs: frames done, the
// total when it is known, frames per second and the time left. Drawn only
// when standard error is a terminal, at most ten times a second.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

struct Progress {
    bool enabled;
    int64_t total;  // -1 while unknown (a pipe)
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point lastDraw;
    bool drawn;
    size_t lastLength;
};

void StartProgress(Progress* progress, int64_t total, bool enabled);
// DONE frames have been handed to the module.
void UpdateProgress(Progress* progress, int64_t done);
// Draws the final state and ends the line, so that what follows starts clean.
void FinishProgress(Progress* progress, int64_t done);

// One line of the bar, e.g. "[#####-----]  45/90  29.8 fps  0:02 left".
std::string FormatProgress(int64_t done, int64_t total, double seconds);

// True when standard error is a terminal.
bool ErrorIsTerminal();
