// The output stage between the module and the destination: the module
// writes its GIF into a pipe (its savePath names the pipe's write end), and
// a thread of the stage's own reads it as it comes and writes its pieces on
// (host/output/gif_relay.h) into the new file beside the output, straight
// to standard output, or to a device. Nothing is spooled. Where the module
// cannot write into a pipe (Windows), there is no stage: the module writes
// the file itself.
#pragma once

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "host/output/gif_relay.h"
#include "platform/host_os.h"

struct OutputStage {
    ModulePipe pipe = {-1, -1, std::string()};
    GifRelay relay;
    FrameTimes times;
    std::vector<int> parts;       // the parts' pipes, when a job's parts are stitched (part_stitch.h)
    std::thread reader;           // the stage's thread; joined by FinishStage
    std::atomic<bool> failed{false};  // a write failed or the GIF could not be cut: the job stops
    bool running = false;

    OutputStage() = default;
    OutputStage(const OutputStage&) = delete;
    OutputStage& operator=(const OutputStage&) = delete;
    ~OutputStage();
};

// Whether the module can write into a pipe here.
bool StagesOutput();

// Starts the stage: the pipe, and the thread that writes what comes
// through it into SINK (the stage's from then on: FinishStage closes it).
// TIMED: each frame's delay is written from the times the job adds. The
// path the module writes is then stage->pipe.writePath. False with the
// reason (SINK closed) when it cannot start.
bool StartStage(OutputStage* stage, std::FILE* sink, bool timed, std::string* error);

// Starts the stage over the GIFs of a job's parts: the thread reads PARTS
// (the read ends of their pipes, the stage's from then on) in turn and
// writes one GIF into SINK, each frame's delay from the times the job adds.
bool StartPartsStage(OutputStage* stage, std::FILE* sink, const std::vector<int>& parts, std::string* error);

// The job's thread: the times of the next frame given to the module, and
// a later end for the last one (a frame folded into it).
void AddFrameTime(OutputStage* stage, FrameTime time);
void ExtendLastFrame(OutputStage* stage, int64_t end);

// After the module has returned: waits for the rest of its GIF to be
// written and closes the destination. False with the reason (the cause
// of a failed write by name) when any of it could not be written.
bool FinishStage(OutputStage* stage, std::string* error);
