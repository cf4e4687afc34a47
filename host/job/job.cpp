// The job and its callbacks. The callbacks are plain cdecl functions with no
// context argument, so the state of the one job that runs at a time lives in
// one static record.
#include "host/job/job.h"

#include <cstdio>
#include <filesystem>

#include "host/input/prefetch_source.h"
#include "host/job/progress.h"
#include "host/common/stop_signal.h"
#include "host/output/frame_delays.h"

namespace {

struct Job {
    FrameSource* source;
    OutputStage* stage;    // null: the module writes the file itself
    OutputRequest request;
    int64_t nextFrame;     // the frame the module will ask for next
    bool loaded;           // the source's frame is frame nextFrame, not given yet
    int64_t origin;        // timed: the first frame's time, where the GIF's time starts
    int64_t givenTime;     // timed: when the frame given last starts, from the origin
    int64_t givenGap;      // timed: how long the frame before that lasted, 0 before the second
    int64_t nominal;       // microseconds a frame lasts at the source's rate
    int64_t folded;
    bool callbacksMade;
    FrameRead ended;       // why the frames ended early; Frame while they have not
    std::string savePath;
    int64_t bytesWritten;  // savePath's size at the last progress report
    std::string problem;
    Progress progress;
};

Job job;

// The frames end at the next one: the request learns the true count, so
// that the completion message shows it.
void EndFrames(FrameRead why) {
    job.ended = why;
    job.request.frameCount = static_cast<int32_t>(job.nextFrame);
}

// When the loaded frame of a timed source ends: its own duration, else
// as long as the frame before it, else a frame at the source's rate.
int64_t EndOfLoaded() {
    const FrameSource* source = job.source;
    const int64_t start = source->time - job.origin;
    if (source->duration > 0) return start + source->duration;
    return start + (job.givenGap > 0 ? job.givenGap : job.nominal);
}

// A timed frame too soon after the frame given before: folded into it.
bool FoldsAway() {
    if (job.stage == nullptr || !job.source->timed || job.nextFrame == 0) return false;
    if (!frame_delays::FoldsInto(job.givenTime, job.source->time - job.origin)) return false;
    ExtendLastFrame(job.stage, EndOfLoaded());
    ++job.folded;
    return true;
}

// Loads frame job.nextFrame when it is not loaded yet; false (and the
// frames ended) when there is none.
bool LoadNext() {
    while (!job.loaded) {
        const FrameRead read = ReadNextFrame(job.source, &job.problem);
        if (read != FrameRead::Frame) {
            EndFrames(read);
            return false;
        }
        job.loaded = !FoldsAway();
    }
    return true;
}

// Frame nextFrame goes to the module; a timed one's time to the stage.
void Give() {
    job.loaded = false;
    if (job.stage != nullptr && job.source->timed) {
        if (job.nextFrame == 0) job.origin = job.source->time;
        const int64_t start = job.source->time - job.origin;
        if (job.nextFrame > 0) job.givenGap = start - job.givenTime;
        job.givenTime = start;
        AddFrameTime(job.stage, FrameTime{job.givenTime, EndOfLoaded()});
    }
    ++job.nextFrame;
}

int32_t ROZOVE_CDECL IsAborted(void) {
    job.callbacksMade = true;
    if (job.ended != FrameRead::Frame) return 1;
    if (StopRequested()) {
        EndFrames(FrameRead::Interrupted);
        return 1;
    }
    // The output cannot take more: the stage names why.
    if (job.stage != nullptr && job.stage->failed) {
        EndFrames(FrameRead::End);
        return 1;
    }
    // Read ahead, so that the end of a stream stops the module before it
    // asks for a frame that does not exist.
    return LoadNext() ? 0 : 1;
}

int32_t ROZOVE_CDECL ReportProgress(int32_t current, int32_t) {
    job.callbacksMade = true;
    // Kept so that a failed write can be explained once the module has
    // removed the file (see WriteFailureReason).
    std::error_code error;
    const auto bytes = std::filesystem::file_size(job.savePath, error);
    job.bytesWritten = error ? -1 : static_cast<int64_t>(bytes);
    UpdateProgress(&job.progress, current);
    return 0;
}

void* ROZOVE_CDECL GetFrame(int32_t frame) {
    job.callbacksMade = true;
    if (frame < 0 || frame != job.nextFrame) return nullptr;
    // Frames come in order; a module that skipped isAborted still gets the next one.
    if (job.ended != FrameRead::Frame || !LoadNext()) return nullptr;
    Give();
    return job.source->pixels.data();
}

int32_t ROZOVE_CDECL AfterClose(void) {
    job.callbacksMade = true;
    FinishProgress(&job.progress, job.nextFrame);
    return 0;
}

JobEnd EndOf(FrameRead read) {
    switch (read) {
        case FrameRead::Frame:
        case FrameRead::End: return JobEnd::Done;
        case FrameRead::Interrupted: return JobEnd::Interrupted;
        case FrameRead::Damaged:
        case FrameRead::Failed: break;
    }
    return JobEnd::InputCut;
}

}  // namespace

JobReport RunJob(const OutputPluginTable* table, FrameSource* source, const std::string& savePath,
                 const JobPlan& plan) {
    JobReport report = {JobEnd::NoFrame, 0, -1, false, -1, std::string(), 0, 0};
    StartPrefetch(source, plan.frameLimit);  // the next frames read while the module encodes
    const FrameRead first = ReadNextFrame(source, &report.problem);
    if (first != FrameRead::Frame) {
        if (first == FrameRead::Interrupted) report.end = JobEnd::Interrupted;
        return report;
    }

    int64_t frames = source->knownFrames;
    if (plan.frameLimit >= 0 && (frames < 0 || plan.frameLimit < frames)) frames = plan.frameLimit;
    int64_t expected = frames >= 0 ? frames : source->expectedFrames;
    if (expected >= 0 && plan.frameLimit >= 0 && plan.frameLimit < expected) expected = plan.frameLimit;
    job = Job{};
    job.source = source;
    job.stage = plan.stage;
    job.loaded = true;
    job.nominal = source->rate > 0 ? int64_t{1000000} * source->scale / source->rate : 0;
    job.ended = FrameRead::Frame;
    job.savePath = savePath;
    job.bytesWritten = -1;
    job.request = MakeOutputRequest(source->width, source->height, source->rate, source->scale,
                                    static_cast<int32_t>(frames >= 0 ? frames : INT32_MAX), savePath.c_str(),
                                    JobCallbacks{GetFrame, IsAborted, ReportProgress, AfterClose});
    StartProgress(&job.progress, expected, plan.showProgress, plan.started);
    if (plan.progressReport != nullptr) ReportProgressTo(&job.progress, plan.progressReport, source->rate, source->scale);

    // The module's completion message goes to the same standard output.
    std::fflush(stdout);
    const int32_t result = table->output(&job.request);
    FinishProgress(&job.progress, job.nextFrame);

    report.framesDelivered = job.nextFrame;
    report.framesPlanned = frames;
    report.moduleAskedForFrames = job.callbacksMade;
    report.bytesWritten = job.bytesWritten;
    report.problem = job.problem;
    report.folded = job.folded;
    report.mended = source->mended;
    // A stop request wins: the file then holds what was written before it.
    if (job.ended == FrameRead::Interrupted) {
        report.end = JobEnd::Interrupted;
    } else if (result == 0) {
        report.end = JobEnd::ModuleFailed;
    } else {
        report.end = EndOf(job.ended);
    }
    // Every counted frame written (and --frames did not stop short): one
    // more read tells whether the input really ends there or is damaged.
    const bool tailReached = source->knownFrames >= 0 && job.nextFrame >= source->knownFrames &&
                             (plan.frameLimit < 0 || plan.frameLimit > source->knownFrames);
    if (report.end == JobEnd::Done && tailReached) {
        const FrameRead after = ReadNextFrame(source, &report.problem);
        if (after == FrameRead::Damaged || after == FrameRead::Failed) report.end = JobEnd::InputCut;
        if (after == FrameRead::Interrupted) report.end = JobEnd::Interrupted;
    }
    job = Job{};
    return report;
}
