// The parts of one export: starting them, dealing them frames in the
// module's own order of calls, and waiting for them.
#include "host/job/job_parts.h"

#include <cerrno>
#include <cstring>

#include "host/common/stop_signal.h"
#include "host/input/frame_buffer.h"
#include "host/output/output_stage.h"

namespace {

// The dealer stands where the module's output entry would, so RunJob runs
// it as it runs the module: its state, like the job's, is one static record.
struct Dealing {
    JobParts* parts;
    OutputStage* stage;
    bool timed;                  // the source's frames carry their own times
    std::vector<uint8_t> rows;   // one frame, top-down and unpadded, as a part reads it
};
Dealing dealing;

// When frame INDEX of a constant-rate job starts, in microseconds: rounded
// down, so that the stage's hundredths are the module's own,
// ((index) * scale * 100) / rate, to the last digit.
int64_t StartOf(int64_t index, int32_t rate, int32_t scale) {
    const uint64_t q = static_cast<uint64_t>(index) * static_cast<uint32_t>(scale);
    const uint64_t r = static_cast<uint32_t>(rate);
    return static_cast<int64_t>((q / r) * 1000000 + ((q % r) * 1000000) / r);
}

// Frame PIXELS (a host frame) to the part whose turn it is.
bool Send(const OutputRequest* request, int32_t index, const uint8_t* pixels) {
    const size_t rowBytes = 3 * static_cast<size_t>(request->width);
    dealing.rows.resize(rowBytes * static_cast<size_t>(request->height));
    for (int32_t y = 0; y < request->height; ++y) {
        std::memcpy(dealing.rows.data() + rowBytes * static_cast<size_t>(y),
                    pixels + FrameRowOffset(request->width, request->height, y), rowBytes);
    }
    const std::vector<ChildProcess>& parts = dealing.parts->parts;
    const ChildProcess& part = parts[static_cast<size_t>(index) % parts.size()];
    return WriteDescriptor(part.input, dealing.rows.data(), dealing.rows.size(), StopRequested);
}

void CloseInputs(JobParts* parts) {
    for (ChildProcess& part : parts->parts) {
        CloseDescriptor(part.input);
        part.input = -1;
    }
}

// The module's frame loop, with the encoding left to the parts.
int32_t ROZOVE_CDECL DealFrames(OutputRequest* request) {
    int32_t result = 1;
    for (int32_t i = 0; i < request->frameCount; ++i) {
        if (request->isAborted() != 0) break;
        request->reportProgress(i, request->frameCount);
        const void* pixels = request->getFrame(i);
        if (!dealing.timed) {
            AddFrameTime(dealing.stage, FrameTime{StartOf(i, request->rate, request->scale),
                                                  StartOf(int64_t{i} + 1, request->rate, request->scale)});
        }
        if (pixels == nullptr || !Send(request, i, static_cast<const uint8_t*>(pixels))) {
            // A stop while a part was busy is a stop, not a failure.
            if (!StopRequested()) result = 0;
            break;
        }
        dealing.parts->dealt = int64_t{i} + 1;
    }
    // Stopped: every part stops at its next frame, as a single job would;
    // asked once more, the job takes the stop as its end.
    if (StopRequested()) {
        for (const ChildProcess& part : dealing.parts->parts) StopChild(part);
        request->isAborted();
    }
    CloseInputs(dealing.parts);
    request->afterClose();
    return result;
}

std::string ReadAll(int descriptor) {
    std::string text;
    char chunk[4096];
    int64_t got;
    while ((got = ReadDescriptor(descriptor, chunk, sizeof chunk)) > 0) text.append(chunk, static_cast<size_t>(got));
    return text;
}

}  // namespace

JobParts::~JobParts() {
    std::string ignored;
    EndParts(this, &ignored);
}

bool StartParts(const PartCommand& command, int count, JobParts* parts, std::string* error) {
    std::vector<std::string> args = {command.executable, "--module", command.modulePath, "export", "-q",
                                     "--loop", std::to_string(command.loopCount), "--size",
                                     std::to_string(command.width) + "x" + std::to_string(command.height),
                                     // Any rate: the stage writes every delay from the whole job's times.
                                     "--rate", "25", "--jobs", "1", "-", "-"};
    if (command.mask) args.insert(args.begin() + 5, "--mask");
    for (int k = 0; k < count; ++k) {
        ChildProcess part;
        if (!StartChild(args, &part)) {
            *error = "cannot start a part of the job (" + command.executable + "): " + std::strerror(errno);
            std::string ignored;
            EndParts(parts, &ignored);
            return false;
        }
        parts->parts.push_back(part);
    }
    return true;
}

std::vector<int> PartOutputs(JobParts* parts) {
    std::vector<int> outputs;
    for (ChildProcess& part : parts->parts) {
        outputs.push_back(part.output);
        part.output = -1;  // the stage's now
    }
    return outputs;
}

JobReport RunPartsJob(FrameSource* source, JobParts* parts, const std::string& savePath, const JobPlan& plan) {
    static OutputPluginTable dealer{};
    dealer.output = DealFrames;
    dealing = Dealing{parts, plan.stage, source->timed, {}};
    JobReport report = RunJob(&dealer, source, savePath, plan);
    // Also when the dealer never ran (no first frame): the parts then end.
    CloseInputs(parts);
    dealing = Dealing{};
    return report;
}

bool EndParts(JobParts* parts, std::string* error) {
    CloseInputs(parts);
    bool ok = true;
    for (size_t k = 0; k < parts->parts.size(); ++k) {
        ChildProcess& part = parts->parts[k];
        CloseDescriptor(part.output);
        // Its words first: it may be waiting to write them.
        const std::string words = ReadAll(part.errors);
        CloseDescriptor(part.errors);
        const int status = WaitForChild(&part);
        // A part dealt no frame has none to write, which it says by failing.
        if (status != 0 && ok && !StopRequested() && static_cast<int64_t>(k) < parts->dealt) {
            ok = false;
            // Its last line, without its own "rozove: ".
            const size_t last = words.rfind("rozove: ");
            std::string said = words.substr(last == std::string::npos ? 0 : last + 8);
            while (!said.empty() && said.back() == '\n') said.pop_back();
            *error = "part " + std::to_string(k + 1) + " of the job failed (" +
                     (said.empty() ? "exit status " + std::to_string(status) : said) + ")";
        }
    }
    parts->parts.clear();
    return ok;
}
