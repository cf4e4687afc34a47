// One output job: the OutputRequest the host fills, the callbacks through
// which the module takes frames and reports progress, and what came of it.
//
// A pipe's frame count is unknown when the job starts, but the module needs
// one up front. The request then carries the largest count (or --frames),
// and the host reads one frame ahead: isAborted, which the module asks
// before every frame, loads the next frame first, and when the stream has
// ended it sets frameCount to the frames delivered and answers "stop". The
// module closes a valid GIF as after any abort, and its completion message,
// which reads frameCount from the request at the end, tells the true count.
#pragma once

#include <cstdint>
#include <string>

#include "host/frame_source.h"
#include "plugin/host_contract.h"

struct JobOutcome {
    bool started;           // false: not a single frame could be read, the module was not called
    int32_t result;         // what the output entry returned, 1 for success
    bool callbacksMade;     // the module got as far as asking for frames
    int64_t framesDelivered;
    bool interrupted;       // SIGINT or SIGTERM ended the job
    std::string problem;    // a damaged or cut-off input ended the frames early
};

// Runs one job on TABLE with the frames of SOURCE, at most FRAMELIMIT of
// them (-1: all). The first frame is read before the module is called, so
// an input without any frame leaves the output untouched.
JobOutcome RunJob(const OutputPluginTable* table, FrameSource* source, const std::string& savePath,
                  int64_t frameLimit, bool showProgress);
