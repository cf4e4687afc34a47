// Demo and export. The order is what keeps an existing output safe: the
// command line, then the output (not the input, the module or rozove, not
// a folder, writable), then the module, then the input and its first
// frame; only then does the module write, into a new file beside the
// output that replaces it when the job ends with frames in it.
#include "host/cli/export_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "host/input/input_stream.h"
#include "host/input/sources.h"
#include "host/job/job.h"
#include "host/job/job_parts.h"
#include "host/job/module_loader.h"
#include "host/output/output_target.h"
#include "host/cli/completion_text.h"
#include "host/cli/job_outcome.h"
#include "host/cli/frame_rate.h"
#include "host/job/progress.h"
#include "host/cli/report.h"
#include "host/common/closed_streams.h"
#include "host/common/stop_signal.h"
#include "platform/child_process.h"
#include "platform/host_os.h"
#include "settings/settings_block.h"

namespace {

// How many parts the job runs in: --jobs (by default the cores rozove may
// use), never more than the frames, and one where no stage can stitch them
// (rozove.exe) or the module's delays could not be written again from the
// rate (one above 65535, which the module first scales down).
int PartsFor(const CommandLine& commandLine, const FrameSource& source) {
    int64_t parts = commandLine.jobs > 0 ? commandLine.jobs : UsableCores();
    int64_t frames = source.knownFrames;
    if (commandLine.frameLimit >= 0 && (frames < 0 || commandLine.frameLimit < frames)) frames = commandLine.frameLimit;
    if (frames >= 0 && frames < parts) parts = frames;
    if (parts <= 1 || !StagesOutput() || (!source.timed && source.rate > 65535)) return 1;
    return static_cast<int>(parts);
}

// A timed source, or a destination written as the GIF is made, goes
// through the output stage; the module then writes into its pipe. False
// (said) when the stage cannot start, or a stop came while it waited for
// the destination (a FIFO without a reader).
bool StartStaging(const FrameSource& source, const OutputTarget& target, OutputStage* stage) {
    if (!target.streamed && !(source.timed && StagesOutput())) return true;
    std::string error;
    std::FILE* sink = OpenStageSink(target, &error);
    if (sink != nullptr && StartStage(stage, sink, source.timed, &error)) return true;
    Fail((sink == nullptr && StopRequested() ? "interrupted" : error) + "; " + Kept(target));
    return false;
}

// Waits for the stage to write the rest; false (said, and the new file
// removed) when a write there failed.
bool StageFinished(OutputStage* stage, OutputTarget* target) {
    std::string error;
    if (FinishStage(stage, &error)) return true;
    const bool some = target->streamed && stage->relay.written > 0;
    std::string ignored;
    FinishOutput(target, false, &ignored);
    Fail("cannot write " + target->name + ": " + error + "; " +
         (some ? target->name + " got the part of the GIF written before" : Kept(*target)));
    return false;
}

// How a job whose output could not be finished ends: a stop stays a stop.
RunOutcome Unfinished(const JobReport& report) {
    return report.end == JobEnd::Interrupted ? RunOutcome::Interrupted : RunOutcome::Failed;
}

// The end of every export once its GIF is written: the new file moved into
// place (or removed), then what the job came to and, when it is done, the
// module's MESSAGE (captioned CAPTION) passed on.
RunOutcome Conclude(const CommandLine& commandLine, const JobReport& report, const FrameSource& source,
                    OutputTarget* target, const std::string& message, const std::string& caption) {
    std::string error;
    if (!FinishOutput(target, Keeps(report), &error)) {
        Fail(error);
        return Unfinished(report);
    }
    if (!commandLine.quiet) SayHowTimed(report);
    if (report.end == JobEnd::Done && !commandLine.quiet) {
        PassMessageOn(message, caption, *target, commandLine.progressPath == "-");
    }
    return Report(report, source, *target);
}

// Starts the job's parts when it runs in more than one; false for one job
// (said once where parts could not be started).
bool StartJobParts(const CommandLine& commandLine, const LoadedModule& module, const FrameSource& source,
                   JobParts* running) {
    const int parts = PartsFor(commandLine, source);
    if (parts <= 1) return false;
    const PartCommand command = {ExecutablePath(), module.path, commandLine.loopCount, commandLine.mask,
                                 source.width, source.height};
    std::string error;
    if (StartParts(command, parts, running, &error)) return true;
    if (!commandLine.quiet) Warn(error + "; the export runs as one job");
    return false;
}

// The job in the parts RUNNING (host/job/job_parts.h), stitched by the
// output stage: the same messages and outcome as one job.
RunOutcome RunOutputInParts(const CommandLine& commandLine, JobParts* parts, FrameSource* source,
                            OutputTarget* target, const JobPlan& plan) {
    JobParts& running = *parts;
    std::string error;
    OutputStage stage;
    std::FILE* sink = OpenStageSink(*target, &error);
    if (sink == nullptr || !StartPartsStage(&stage, sink, PartOutputs(&running), &error)) {
        Fail((sink == nullptr && StopRequested() ? "interrupted" : error) + "; " + Kept(*target));
        return StopRequested() ? RunOutcome::Interrupted : RunOutcome::Failed;
    }
    JobPlan staged = plan;
    staged.stage = &stage;
    JobReport report = RunPartsJob(source, &running, target->savePath, staged);
    if (!StageFinished(&stage, target)) return Unfinished(report);
    if (!EndParts(&running, &error)) {
        FinishOutput(target, false, &error);
        Fail("cannot write " + target->name + ": " + error + "; " + Kept(*target));
        return Unfinished(report);
    }
    // A stop keeps the frames before the first one a part did not finish.
    if (report.end == JobEnd::Interrupted) report.framesDelivered = stage.relay.frames;
    // The parts are quiet: the message is the one one job would give.
    return Conclude(commandLine, report, *source, target, ModuleCompletionText(report.framesDelivered), "");
}

RunOutcome RunOutput(const CommandLine& commandLine, const LoadedModule& module, FrameSource* source,
                     OutputTarget* target, const JobPlan& plan) {
    const OutputPluginTable* table = module.table;
    if (table->output == nullptr || table->configSet == nullptr) {
        Fail(module.path + ": the table lacks the output or the settings write entry");
        return RunOutcome::Failed;
    }
    // In mask mode each half is a picture; a frame 1 pixel wide has none.
    if (commandLine.mask && source->width < 2) {
        Fail("mask mode needs frames at least 2 pixels wide; " + Kept(*target));
        return RunOutcome::Failed;
    }
    // The settings reach the module as the host's stored block would.
    uint8_t block[settings_block::kBytes];
    settings_block::Write({commandLine.mask ? 1 : 0, commandLine.loopCount}, block);
    if (table->configSet(block, settings_block::kBytes) != settings_block::kBytes) {
        Fail(module.path + ": the module refused the settings block");
        return RunOutcome::Failed;
    }
    // A timed source's rate is only a default length: its delays come from its times.
    const std::string badRate = source->timed ? std::string() : RateRefusal(source->rate, source->scale);
    if (!badRate.empty()) {
        Fail(source->name + ": " + badRate + "; " + Kept(*target));
        return RunOutcome::Failed;
    }
    if (!commandLine.quiet && !source->timed) WarnAboutRate(source->rate, source->scale);
    // Whichever reader took the stream (ours for Y4M, FFmpeg's for the
    // rest), interlaced frames are taken as they are, and said so once.
    if (!commandLine.quiet && source->interlaced) {
        Warn(source->name + " is interlaced: its frames are taken as they are, both fields woven into each; "
                            "where combing shows, deinterlace first with ffmpeg -vf yadif");
    }

    JobParts parts;
    if (StartJobParts(commandLine, module, *source, &parts)) {
        return RunOutputInParts(commandLine, &parts, source, target, plan);
    }
    OutputStage stage;
    if (!StartStaging(*source, *target, &stage)) return StopRequested() ? RunOutcome::Interrupted : RunOutcome::Failed;
    const std::string caption = stage.running ? stage.pipe.writePath : target->savePath;
    // The module prints its message on standard output as soon as it has
    // closed the file: it is caught, and shown only when the job is done.
    MessageCapture capture;
    const bool capturing = StartCapture(&capture);
    // Uncaught, the message would land in the GIF on standard output.
    if ((target->spooled || target->path == "-") && !capturing) {
        Fail("cannot catch the module's message away from " + target->name + " (no temporary file)");
        return RunOutcome::Failed;
    }
    JobPlan staged = plan;
    staged.stage = stage.running ? &stage : nullptr;
    const JobReport report = RunJob(table, source, caption, staged);
    const std::string message = capturing ? EndCapture(&capture) : std::string();
    if (!StageFinished(&stage, target)) return Unfinished(report);
    return Conclude(commandLine, report, *source, target, message, caption);
}

bool OpenExportInput(const CommandLine& commandLine, FrameSource* source, std::string* error) {
    return OpenInputSource(commandLine.input, source, error);
}

bool OpenDemo(const CommandLine&, FrameSource* source, std::string*) {
    OpenDemoSource(source);
    return true;
}

using OpenSource = bool (*)(const CommandLine& commandLine, FrameSource* source, std::string* error);

struct CloseReport {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using ReportFile = std::unique_ptr<std::FILE, CloseReport>;

// --progress's file, "-" for standard output; false with the reason when
// it cannot be written. Standard output is taken as a copy: while the job
// runs, the module's own standard output is caught away from it.
bool OpenReport(const std::string& path, ReportFile* report, std::string* error) {
    if (path.empty()) return true;
    report->reset(path == "-" ? OpenStandardOutputCopy() : std::fopen(path.c_str(), "w"));
    if (*report == nullptr) *error = "cannot write the progress to " + path + ": " + std::strerror(errno);
    return *report != nullptr;
}

// -n: an existing output (a dangling link too) is the user's to keep.
bool OutputIsKept(const CommandLine& commandLine, const std::string& output, std::string* error) {
    std::error_code failure;
    if (!commandLine.noClobber || output == "-" ||
        !std::filesystem::exists(std::filesystem::symlink_status(output, failure))) {
        return false;
    }
    *error = output + " exists and -n (--no-clobber) leaves it alone; name another output, or leave out -n";
    return true;
}

// The output checked, the module loaded, then the source opened: the order
// that keeps an existing output safe from a bad input or module.
RunOutcome RunFrom(const CommandLine& commandLine, OpenSource open) {
    // The job's clock starts here, before the input is probed or counted.
    JobPlan plan = {commandLine.frameLimit, ErrorIsTerminal() && !commandLine.quiet, ProgressClock::now()};
    const std::string output = OutputName(commandLine.output);
    const std::string modulePath = ChosenModulePath(commandLine.modulePath);
    std::string error;
    if (OutputIsTerminal(output)) {
        Fail("standard output is a terminal: send the GIF into a file (> out.gif) or a pipe, or name the file");
        return RunOutcome::Usage;
    }
    if (OutputIsKept(commandLine, output, &error) || OutputIsProgram(output, modulePath, &error) ||
        OutputIsFolder(output, &error) || OutputIsPicture(output, &error)) {
        Fail(error);
        return RunOutcome::Usage;
    }
    if (output == "-" && OutputWasClosed()) {
        Fail("standard output is closed: name the GIF to write, or send it into a file (> out.gif) or a pipe");
        return RunOutcome::Usage;
    }
    ReportFile report;
    if (!OpenReport(commandLine.progressPath, &report, &error)) {
        Fail(error);
        return RunOutcome::Failed;
    }
    plan.progressReport = report.get();
    OutputTarget target;
    if (!StartOutput(output, StagesOutput(), &target, &error)) {
        Fail(error);
        return RunOutcome::Failed;
    }
    if (!commandLine.quiet && !target.warning.empty()) Warn(target.warning);
    LoadedModule module;
    if (!LoadModule(modulePath, &module, &error)) {
        FinishOutput(&target, false, &error);
        Fail(error);
        return RunOutcome::Failed;
    }
    FrameSource source;
    const std::unique_ptr<FrameSource, SourceCloser> closing(&source);
    RunOutcome outcome = RunOutcome::Failed;
    if (open(commandLine, &source, &error)) {
        outcome = RunOutput(commandLine, module, &source, &target, plan);
    } else if (StopRequested()) {
        Fail("interrupted; " + Kept(target));
        outcome = RunOutcome::Interrupted;
    } else {
        Fail(error);
    }
    FinishOutput(&target, false, &error);
    return outcome;
}

// Several inputs are still pictures, each checked before the output is
// touched: anything else is a usage error, a missing or unreadable one
// fails the export. (An output that is itself a picture is refused with
// the output's other checks, for one input as for several.)
RunOutcome CheckStills(const CommandLine& commandLine) {
    const InputRequest& input = commandLine.input;
    std::string error;
    for (const std::string& path : input.stills) {
        const StillProbe kind = CheckStillInput(path, input.video.verbose, &error);
        if (kind != StillProbe::Still) {
            Fail(error);
            return kind == StillProbe::Unreadable ? RunOutcome::Failed : RunOutcome::Usage;
        }
    }
    return RunOutcome::Done;
}

// The output must not be the input, nor any of several.
bool OutputIsAnInput(const CommandLine& commandLine, std::string* error) {
    if (commandLine.input.stills.empty()) return OutputIsInput(commandLine.output, commandLine.input.path, error);
    for (const std::string& still : commandLine.input.stills) {
        if (OutputIsInput(commandLine.output, still, error)) {
            const std::string other = still == commandLine.output ? "" : " (" + still + ")";
            *error = commandLine.output + " is one of the inputs" + other + "; choose another output file";
            return true;
        }
    }
    return false;
}

}  // namespace

RunOutcome RunDemo(const CommandLine& commandLine) {
    return RunFrom(commandLine, OpenDemo);
}

RunOutcome RunExport(const CommandLine& commandLine) {
    std::string error;
    if (OutputIsAnInput(commandLine, &error)) {
        Fail(error);
        return RunOutcome::Usage;
    }
    if (commandLine.input.path == "-" && StandardInputIsTerminal()) {
        Fail("standard input is a terminal, not a video: pipe one in (ffmpeg -i clip.mp4 -f yuv4mpegpipe - | "
             "rozove export - out.gif) or name the input file");
        return RunOutcome::Usage;
    }
    if (!VideoInputBuilt() && (WantsScaling(commandLine.input.video) || commandLine.input.video.stream >= 0)) {
        Fail("--width, --height, --fps, --start, --duration, --to and --stream need a build with FFmpeg's "
             "libraries (the Linux build); here scale and resample with ffmpeg first: "
             "ffmpeg -i IN -vf scale=320:-2 -r 15 -f yuv4mpegpipe -");
        return RunOutcome::Usage;
    }
    if (commandLine.input.stills.empty()) return RunFrom(commandLine, OpenExportInput);
    if (!VideoInputBuilt()) {
        Fail("several still images as inputs need a build with FFmpeg's libraries (the Linux build); here make "
             "them one Y4M with ffmpeg first: ffmpeg -framerate 25 -i frame%04d.png -pix_fmt yuv420p frames.y4m");
        return RunOutcome::Usage;
    }
    const RunOutcome checked = CheckStills(commandLine);
    return checked == RunOutcome::Done ? RunFrom(commandLine, OpenExportInput) : checked;
}
