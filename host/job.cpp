// The job and its callbacks. The callbacks are plain cdecl functions with no
// context argument, so the state of the one job that runs at a time lives in
// one static record.
#include "host/job.h"

#include <cstdio>

#include "host/progress.h"
#include "host/stop_signal.h"

namespace {

struct Job {
    FrameSource* source;
    OutputRequest request;
    bool countKnown;       // the source knew its length before the job
    int64_t nextFrame;     // the frame the module will ask for next
    bool callbacksMade;
    bool interrupted;
    Progress progress;
};

Job job;

// The frames end at COUNT: when the length was not known, the request now
// learns it, so that the completion message shows it.
void EndFramesAt(int64_t count) {
    if (!job.countKnown) job.request.frameCount = static_cast<int32_t>(count);
    if (job.source->interrupted) job.interrupted = true;
}

int32_t ROZOVE_CDECL IsAborted(void) {
    job.callbacksMade = true;
    if (StopRequested()) {
        job.interrupted = true;
        EndFramesAt(job.nextFrame);
        return 1;
    }
    // Read ahead, so that the end of a stream stops the module before it
    // asks for a frame that does not exist.
    if (job.source->loaded < job.nextFrame && !ReadNextFrame(job.source)) {
        EndFramesAt(job.nextFrame);
        return 1;
    }
    return 0;
}

int32_t ROZOVE_CDECL ReportProgress(int32_t current, int32_t) {
    job.callbacksMade = true;
    UpdateProgress(&job.progress, current);
    return 0;
}

void* ROZOVE_CDECL GetFrame(int32_t frame) {
    job.callbacksMade = true;
    if (frame < 0) return nullptr;
    job.nextFrame = static_cast<int64_t>(frame) + 1;
    // Frames come in order; a module that skipped isAborted still gets the next one.
    if (job.source->loaded + 1 == frame && !ReadNextFrame(job.source)) return nullptr;
    return job.source->loaded == frame ? job.source->pixels.data() : nullptr;
}

int32_t ROZOVE_CDECL AfterClose(void) {
    job.callbacksMade = true;
    FinishProgress(&job.progress, job.nextFrame);
    return 0;
}

}  // namespace

JobOutcome RunJob(const OutputPluginTable* table, FrameSource* source, const std::string& savePath,
                  int64_t frameLimit, bool showProgress) {
    JobOutcome outcome = {false, 0, false, 0, false, std::string()};
    if (!ReadNextFrame(source)) {
        outcome.interrupted = source->interrupted;
        outcome.problem = source->problem;
        return outcome;
    }

    int64_t frames = source->knownFrames;
    if (frameLimit >= 0 && (frames < 0 || frameLimit < frames)) frames = frameLimit;
    job = Job{};
    job.source = source;
    job.countKnown = source->knownFrames >= 0;
    job.request = MakeOutputRequest(source->width, source->height, source->rate, source->scale,
                                    static_cast<int32_t>(frames >= 0 ? frames : INT32_MAX), savePath.c_str(),
                                    JobCallbacks{GetFrame, IsAborted, ReportProgress, AfterClose});
    StartProgress(&job.progress, frames, showProgress);

    // The module's completion message goes to the same standard output.
    std::fflush(stdout);
    outcome.started = true;
    outcome.result = table->output(&job.request);
    FinishProgress(&job.progress, job.nextFrame);

    outcome.callbacksMade = job.callbacksMade;
    outcome.framesDelivered = job.nextFrame;
    outcome.interrupted = job.interrupted;
    // A damaged tail counts once the frames before it are all written: a
    // pipe finds it while reading ahead, a file's walk found it up front.
    const bool reachedEnd = source->knownFrames < 0 ? job.request.frameCount == job.nextFrame
                                                    : job.nextFrame >= source->knownFrames;
    if (!job.interrupted && reachedEnd) outcome.problem = source->problem;
    job = Job{};
    return outcome;
}
