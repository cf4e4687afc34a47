// Demo and export. The order is what keeps an existing output safe: the
// command line, then the output (not the input, writable), then the module,
// then the input and its first frame; only then is the output opened, by
// the module.
#include "host/cli/export_command.h"

#include <cstdio>
#include <string>

#include "host/input/input_stream.h"
#include "host/input/sources.h"
#include "host/job/job.h"
#include "host/job/module_loader.h"
#include "host/output/output_target.h"
#include "host/cli/frame_rate.h"
#include "host/job/progress.h"
#include "host/cli/report.h"
#include "host/common/stop_signal.h"
#include "settings/settings_block.h"

namespace {

std::string Frames(int64_t count) {
    return std::to_string(count) + (count == 1 ? " frame" : " frames");
}

// What the job came to, in one line, and how the command ends.
RunOutcome Report(const JobReport& report, const FrameSource& source, const OutputTarget& target) {
    const std::string frames = Frames(report.framesDelivered);
    const std::string& output = target.name;
    switch (report.end) {
        case JobEnd::Done: return RunOutcome::Done;
        case JobEnd::Interrupted:
            if (report.framesDelivered > 0) {
                Fail("interrupted; " + output + " holds the " + frames + " written before, as a complete GIF");
            } else {
                Fail("interrupted");
            }
            return RunOutcome::Interrupted;
        case JobEnd::NoFrame:
            Fail(source.name + ": " + (report.problem.empty() ? "holds no frame" : report.problem) + "; " +
                 output + " was not touched");
            return RunOutcome::Failed;
        case JobEnd::InputCut:
            Fail(source.name + ": " + report.problem + "; " + output + " holds the " + frames + " before it");
            return RunOutcome::Failed;
        case JobEnd::ModuleFailed:
            Fail("cannot write " + output + ": " + WriteFailureReason(target, report.moduleAskedForFrames) +
                 (report.framesDelivered > 0 ? " (after " + frames + ")" : std::string()));
            return RunOutcome::Failed;
    }
    return RunOutcome::Failed;
}

// The message the module printed while its output was spooled or the run
// quiet: on standard error, captioned with the output as the user named it.
void PassMessageOn(const std::string& message, const OutputTarget& target, bool quiet) {
    if (quiet || message.empty()) return;
    std::string text = message;
    if (text.compare(0, target.savePath.size(), target.savePath) == 0) {
        text.replace(0, target.savePath.size(), target.name);
    }
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

RunOutcome RunOutput(const CommandLine& commandLine, const LoadedModule& module, FrameSource* source,
                     OutputTarget* target) {
    const OutputPluginTable* table = module.table;
    if (table->output == nullptr || table->configSet == nullptr) {
        Fail(module.path + ": the table lacks the output or the settings write entry");
        return RunOutcome::Failed;
    }
    // In mask mode each half is a picture; a frame 1 pixel wide has none.
    if (commandLine.mask && source->width < 2) {
        Fail("mask mode needs frames at least 2 pixels wide; " + target->name + " was not touched");
        return RunOutcome::Failed;
    }
    // The settings reach the module as the host's stored block would.
    uint8_t block[settings_block::kBytes];
    settings_block::Write({commandLine.mask ? 1 : 0, commandLine.loopCount}, block);
    if (table->configSet(block, settings_block::kBytes) != settings_block::kBytes) {
        Fail(module.path + ": the module refused the settings block");
        return RunOutcome::Failed;
    }
    const std::string badRate = RateRefusal(source->rate, source->scale);
    if (!badRate.empty()) {
        Fail(source->name + ": " + badRate + "; " + target->name + " was not touched");
        return RunOutcome::Failed;
    }
    if (!commandLine.quiet) WarnAboutRate(source->rate, source->scale);

    // The module prints its message on standard output; when the GIF goes
    // there, or nothing is to be shown, it is caught instead.
    std::string error;
    MessageCapture capture;
    const bool capturing = (target->spooled || commandLine.quiet) && StartCapture(&capture);
    if (target->spooled && !capturing) {
        FinishOutput(target, false, &error);
        Fail("cannot catch the module's message away from " + target->name + " (no temporary file)");
        return RunOutcome::Failed;
    }
    const JobPlan plan = {commandLine.frameLimit, ErrorIsTerminal() && !commandLine.quiet};
    const JobReport report = RunJob(table, source, target->savePath, plan);
    const std::string message = capturing ? EndCapture(&capture) : std::string();

    // A spool holds a GIF whenever the module got a frame to it. The
    // module's message says the output is done: shown only once it is.
    const bool wrote = report.end != JobEnd::NoFrame && report.end != JobEnd::ModuleFailed;
    if (!FinishOutput(target, wrote, &error)) {
        Fail(error);
        return report.end == JobEnd::Interrupted ? RunOutcome::Interrupted : RunOutcome::Failed;
    }
    PassMessageOn(message, *target, commandLine.quiet);
    return Report(report, *source, *target);
}

bool OpenExportInput(const CommandLine& commandLine, FrameSource* source, std::string* error) {
    return OpenInputSource(commandLine.input, source, error);
}

bool OpenDemo(const CommandLine&, FrameSource* source, std::string*) {
    OpenDemoSource(source);
    return true;
}

using OpenSource = bool (*)(const CommandLine& commandLine, FrameSource* source, std::string* error);

// The output checked, the module loaded, then the source opened: the order
// that keeps an existing output safe from a bad input or module.
RunOutcome RunFrom(const CommandLine& commandLine, OpenSource open) {
    std::string error;
    if (OutputIsTerminal(commandLine.output)) {
        Fail("standard output is a terminal: send the GIF into a file (> out.gif) or a pipe, or name the file");
        return RunOutcome::Usage;
    }
    OutputTarget target;
    if (!StartOutput(commandLine.output, &target, &error)) {
        Fail(error);
        return RunOutcome::Failed;
    }
    LoadedModule module;
    if (!LoadModule(ChosenModulePath(commandLine.modulePath), &module, &error)) {
        FinishOutput(&target, false, &error);
        Fail(error);
        return RunOutcome::Failed;
    }
    FrameSource source;
    RunOutcome outcome = RunOutcome::Failed;
    if (open(commandLine, &source, &error)) {
        outcome = RunOutput(commandLine, module, &source, &target);
        CloseSource(&source);
    } else if (StopRequested()) {
        Fail("interrupted");
        outcome = RunOutcome::Interrupted;
    } else {
        Fail(error);
    }
    FinishOutput(&target, false, &error);
    UnloadModule(&module);
    return outcome;
}

}  // namespace

RunOutcome RunDemo(const CommandLine& commandLine) {
    return RunFrom(commandLine, OpenDemo);
}

RunOutcome RunExport(const CommandLine& commandLine) {
    std::string error;
    if (OutputIsInput(commandLine.output, commandLine.input.path, &error)) {
        Fail(error);
        return RunOutcome::Usage;
    }
    if (commandLine.input.path == "-" && StandardInputIsTerminal()) {
        Fail("standard input is a terminal, not a video: pipe one in (ffmpeg -i clip.mp4 -f yuv4mpegpipe - | "
             "rozove export - out.gif) or name the input file");
        return RunOutcome::Usage;
    }
    if (!VideoInputBuilt() && WantsScaling(commandLine.input.video)) {
        Fail("--width, --height and --fps need a build with FFmpeg's libraries (the Linux build); here scale "
             "and resample with ffmpeg first: ffmpeg -i IN -vf scale=320:-2 -r 15 -f yuv4mpegpipe -");
        return RunOutcome::Usage;
    }
    return RunFrom(commandLine, OpenExportInput);
}
