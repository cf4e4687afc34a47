// The progress bar on standard error while a job runs: frames done, the
// total when it is known, frames per second and the time left, fitted to
// the terminal's width as it is at each draw. Drawn only when standard
// error is a terminal, at most ten times a second. Beside it, for scripts
// and GUIs, the report --progress asks for: key=value blocks as ffmpeg's
// -progress writes them, twice a second and once at the end.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

using ProgressClock = std::chrono::steady_clock;

struct Progress {
    bool enabled;
    int64_t total;  // -1 while unknown (a pipe)
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point lastDraw;
    bool drawn;
    size_t lastLength;
    std::FILE* report;  // --progress: where the blocks go; nullptr none (not owned)
    int32_t rate, scale;  // the frames' rate, for the time written so far
    std::chrono::steady_clock::time_point lastReport;
    bool reported;
};

// STARTED: when the job began (the command's start, before the input was
// probed), which the speed and the time left count from.
void StartProgress(Progress* progress, int64_t total, bool enabled, ProgressClock::time_point started);
// Writes key=value blocks to REPORT (owned by the caller) for frames at RATE / SCALE a second.
void ReportProgressTo(Progress* progress, std::FILE* report, int32_t rate, int32_t scale);
// DONE frames have been handed to the module.
void UpdateProgress(Progress* progress, int64_t done);
// Draws the final state and ends the line, so that what follows starts clean.
void FinishProgress(Progress* progress, int64_t done);

// One block of the report: frame, total (N/A while unknown), fps,
// out_time_us, out_time (HH:MM:SS.micro) and progress=continue or end.
std::string FormatProgressBlock(int64_t done, int64_t total, double seconds, int32_t rate, int32_t scale,
                                bool end);

// One line of the bar, e.g. "[#####-----]  45/90  29.8 fps  0:02 left",
// shorter than COLUMNS (0: 80): the bar shrinks, then the speed, the time
// and the bar are left out in turn.
std::string FormatProgress(int64_t done, int64_t total, double seconds, int columns = 0);

// True when standard error is a terminal.
bool ErrorIsTerminal();
