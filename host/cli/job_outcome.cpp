// What one export came to, as the user reads it: the one line that says
// what a job that did not finish leaves behind, the module's completion
// message passed on once the output is in place, and the lines that tell
// how a timed source's times were kept.
#include "host/cli/job_outcome.h"

#include <cstdio>
#include <string>

#include "host/cli/completion_text.h"
#include "host/cli/report.h"

namespace {

std::string Frames(int64_t count) {
    return std::to_string(count) + (count == 1 ? " frame" : " frames");
}

// The most one frame can add to the file: LZW codes of up to 12 bits a
// pixel, in sub-blocks, and the frame's own blocks.
int64_t FrameBound(const FrameSource& source) {
    return int64_t{source.width} * source.height * 2 + (int64_t{1} << 16);
}

}  // namespace

// What the output holds after a job that did not finish. OPENED: the
// module opened the file, which loses an earlier one written in place.
std::string Kept(const OutputTarget& target, bool opened) {
    if (target.spooled || target.streamed || target.path == "-") return target.name + " got nothing";
    if (target.inPlace && opened) return "the earlier " + target.name + " is lost: it was written in place";
    return target.existed ? "the earlier " + target.name + " was kept as it was" : "no file was made";
}

// What the job came to, in one line, and how the command ends.
RunOutcome Report(const JobReport& report, const FrameSource& source, const OutputTarget& target) {
    const std::string frames = Frames(report.framesDelivered);
    const std::string& output = target.name;
    const bool some = report.framesDelivered > 0;
    const std::string kept = Kept(target, report.moduleAskedForFrames);
    switch (report.end) {
        case JobEnd::Done: return RunOutcome::Done;
        case JobEnd::Interrupted:
            Fail("interrupted; " + (some ? output + " holds the " + frames + " written before, as a complete GIF"
                                         : kept));
            return RunOutcome::Interrupted;
        case JobEnd::NoFrame:
            Fail(source.name + ": " + (report.problem.empty() ? "holds no frame" : report.problem) + "; " + kept);
            return RunOutcome::Failed;
        case JobEnd::InputCut:
            Fail(source.name + ": " + report.problem + "; " +
                 (some ? output + " holds the " + frames + " of the GIF up to there" : kept));
            return RunOutcome::Failed;
        case JobEnd::Mended:
            // Damage that cuts nothing: the GIF is whole, the exit status still tells.
            Fail(source.name + ": " + report.problem + "; " + output + " holds " +
                 (report.framesDelivered == 1 ? std::string("its one frame") : "all " + frames));
            return RunOutcome::Failed;
        case JobEnd::ModuleFailed:
            Fail("cannot write " + output + ": " +
                 WriteFailureReason(target, report.moduleAskedForFrames, report.bytesWritten, FrameBound(source)) +
                 (some ? " (after " + frames + ")" : std::string()) + "; " + kept);
            return RunOutcome::Failed;
    }
    return RunOutcome::Failed;
}

// The module's completion message, whose caption is the file it wrote
// (the new file or the spool), shown once the output is in place with the
// output as the user named it instead: on standard output, or on standard
// error when the GIF went there. The output's name is the user's own
// bytes; the module's text follows in the user's language.
void PassMessageOn(const std::string& message, const std::string& caption, const OutputTarget& target,
                   bool progressOnOutput) {
    if (message.empty()) return;
    const bool captioned = message.compare(0, caption.size(), caption) == 0;
    const std::string text =
        captioned ? target.name + CompletionText(message.substr(caption.size())) : CompletionText(message);
    std::FILE* stream = target.path == "-" || progressOnOutput ? stderr : stdout;
    std::fputs(text.c_str(), stream);
    std::fflush(stream);
}

// What became of a timed source's times, one line each, when anything did.
void SayHowTimed(const JobReport& report) {
    if (report.folded > 0) {
        Warn(Frames(report.folded) + " less than 2 hundredths of a second after the frame before " +
             (report.folded == 1 ? "was" : "were") + " folded into it (a GIF shows no shorter frame)");
    }
    if (report.mended > 0) {
        Warn("the input's timestamps jump " + std::to_string(report.mended) +
             (report.mended == 1 ? " time" : " times") +
             " where they cannot be a pause (a restart, or one frame stamped far from both its neighbours): "
             "timing mended, each jump closed up to the frames around it");
    }
}

// Whether the file the module wrote replaces the output: only a GIF with
// frames in it, from a job that ended as documented (done, cut, stopped).
bool Keeps(const JobReport& report) {
    return report.framesDelivered > 0 && report.end != JobEnd::NoFrame && report.end != JobEnd::ModuleFailed;
}
