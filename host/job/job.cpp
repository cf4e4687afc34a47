// The job and its callbacks. The callbacks are plain cdecl functions with no
// context argument, so the state of the one job that runs at a time lives in
// one static record.
#include "host/job/job.h"

#include <cstdio>
#include <filesystem>

#include "host/input/prefetch_source.h"
#include "host/job/progress.h"
#include "host/common/stop_signal.h"

namespace {

struct Job {
    FrameSource* source;
    OutputRequest request;
    int64_t nextFrame;     // the frame the module will ask for next
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

// Loads frame job.nextFrame when it is not loaded yet; false (and the
// frames ended) when there is none.
bool LoadNext() {
    if (job.source->loaded >= job.nextFrame) return true;
    const FrameRead read = ReadNextFrame(job.source, &job.problem);
    if (read == FrameRead::Frame) return true;
    EndFrames(read);
    return false;
}

int32_t ROZOVE_CDECL IsAborted(void) {
    job.callbacksMade = true;
    if (job.ended != FrameRead::Frame) return 1;
    if (StopRequested()) {
        EndFrames(FrameRead::Interrupted);
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
    job.nextFrame = static_cast<int64_t>(frame) + 1;
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
    JobReport report = {JobEnd::NoFrame, 0, -1, false, -1, std::string()};
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
