// One output job: the OutputRequest the host fills, the callbacks through
// which the module takes frames and reports progress, and what came of it.
//
// A timed source's frames each go to the module once; one that comes less
// than two hundredths after the frame given before is folded into it (its
// picture dropped, its time added to that frame), as a GIF shows no
// shorter frame.
//
// The module needs the frame count up front. A counted file gives it; a
// pipe or a video's container does not (its count is an estimate), so the
// request then carries the largest count (or --frames), and the host reads
// one frame ahead: isAborted, which the module asks before every frame,
// loads the next frame first. Whenever the frames end before the request's
// count (the input ends or is damaged, a stop is requested) it sets
// frameCount to the frames delivered and answers "stop". The module closes
// a valid GIF as after any abort, and its completion message, which reads
// frameCount from the request at the end, tells the true count.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "host/input/frame_source.h"
#include "host/job/progress.h"
#include "host/output/output_stage.h"
#include "plugin/host_contract.h"

enum class JobEnd {
    Done,          // every frame the input holds (or --frames asks for) is in the file
    NoFrame,       // not a single frame could be read; the module was not called
    InputCut,      // the input ended early or was damaged; the file holds the frames before
    Interrupted,   // a stop request ended the job; the file holds the frames before
    ModuleFailed,  // the module reported failure (it could not open or write the file)
};

struct JobReport {
    JobEnd end;
    int64_t framesDelivered;  // frames the module received
    int64_t framesPlanned;    // what the job set out to write, -1 when the input's length was unknown
    bool moduleAskedForFrames;
    int64_t bytesWritten;     // the output file's size when the last frame was asked for, -1 unknown
    std::string problem;      // for NoFrame and InputCut: what is wrong with the input
    int64_t folded;           // timed frames folded into the frame before (under two hundredths after it)
    int64_t mended;           // timed: jumps in the input's times closed up (host/input/frame_source.h)
};

struct JobPlan {
    int64_t frameLimit;  // -1: every frame
    bool showProgress;
    ProgressClock::time_point started;  // when the command began, for the progress bar's clock
    // The stage the module's GIF goes through, null when the module writes
    // the file itself. The job gives it the frames' times (a timed
    // source), and stops the module once a write there has failed.
    OutputStage* stage = nullptr;
    std::FILE* progressReport = nullptr;  // --progress's file (the caller's), nullptr none
};

// Runs one job on TABLE with the frames of SOURCE. The first frame is read
// before the module is called, so an input without any frame leaves the
// output untouched.
JobReport RunJob(const OutputPluginTable* table, FrameSource* source, const std::string& savePath,
                 const JobPlan& plan);
