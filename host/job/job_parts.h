// One export shared by several processes, each an ordinary job of the
// module: rozove itself, started as `rozove export` of raw bgr24 frames on
// its standard input into its standard output. The frames are dealt in
// turn (frame i to part i mod N), so no part seeks or decodes, pipes work
// as files do, and the one decoder here keeps its threads busy; the output
// stage stitches the parts' GIFs into the one GIF a single job writes
// (host/output/part_stitch.h). The module's state is one job at a time on
// its caller's thread, so the parts are processes, never threads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/job/job.h"
#include "platform/child_process.h"
#include "platform/host_os.h"

// The running parts. Whoever holds the record waits for every part:
// EndParts, or the destructor on any other path.
struct JobParts {
    std::vector<ChildProcess> parts;
    int64_t dealt = 0;                // frames sent to the parts: part k has some when k < dealt

    JobParts() = default;
    JobParts(const JobParts&) = delete;
    JobParts& operator=(const JobParts&) = delete;
    ~JobParts();
};

// What each part runs: rozove itself with the module at MODULE_PATH, the
// settings, and the frames' size.
struct PartCommand {
    std::string executable;
    std::string modulePath;
    int32_t loopCount;
    bool mask;
    int32_t width;
    int32_t height;
};

// Starts COUNT parts; false with the reason (and none left running) when
// one cannot be started.
bool StartParts(const PartCommand& command, int count, JobParts* parts, std::string* error);
// The read ends of the parts' GIFs, for the output stage (which closes them).
std::vector<int> PartOutputs(JobParts* parts);

// Runs the job of SOURCE over PARTS as RunJob runs it over a module: the
// same reading ahead, callbacks, progress and report; each frame given is
// sent to its part, and its time to PLAN's stage (which must be one
// started with StartPartsStage). A stop passes on to every part.
JobReport RunPartsJob(FrameSource* source, JobParts* parts, const std::string& savePath, const JobPlan& plan);

// Waits for every part to end: false with the first failing part's own
// words when a part that was given frames failed without a stop.
bool EndParts(JobParts* parts, std::string* error);

