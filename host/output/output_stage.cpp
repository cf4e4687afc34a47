// The pipe, the stage's thread and the destination it writes.
#include "host/output/output_stage.h"

#include <cerrno>
#include <system_error>
#include <vector>

#include "host/output/output_target.h"
#include "host/output/part_stitch.h"
#include "platform/stop_signal_thread.h"

namespace {

constexpr size_t kReadChunk = 1 << 16;

// After a failed write, or bytes that are no GIF's blocks, the job stops.
void NoteFailure(OutputStage* stage) {
    if (stage->relay.writeError != 0 || stage->relay.broken) stage->failed = true;
}

// The stage's thread: the module's bytes, as they come, until it closes
// the pipe. After a failed write it goes on reading (and drops what it
// reads), so that the module is never left blocked on a full pipe.
void Relay(OutputStage* stage) {
    // The stop signals are for the thread that reads the input.
    HoldStopSignals(true);
    std::vector<uint8_t> chunk(kReadChunk);
    for (;;) {
        const int64_t got = ReadDescriptor(stage->pipe.readEnd, chunk.data(), chunk.size());
        if (got <= 0) break;
        RelayBytes(&stage->relay, chunk.data(), static_cast<size_t>(got));
        NoteFailure(stage);
    }
    EndRelay(&stage->relay);
    NoteFailure(stage);
}

// The stage's thread over a job's parts.
void Stitch(OutputStage* stage) {
    HoldStopSignals(true);
    StitchParts(stage->parts, &stage->relay);
    stage->parts.clear();
    NoteFailure(stage);
}

void ClosePipe(OutputStage* stage) {
    CloseDescriptor(stage->pipe.readEnd);
    CloseDescriptor(stage->pipe.writeEnd);
    stage->pipe = ModulePipe{-1, -1, std::string()};
}

// Starts the stage's thread BODY writing into SINK, with delays from the
// job's times where TIMED; on failure everything the stage was given
// (SINK, its pipe, the parts' pipes) is closed.
bool StartThread(OutputStage* stage, void (*body)(OutputStage*), std::FILE* sink, bool timed, std::string* error) {
    stage->relay = GifRelay{};
    stage->relay.sink = sink;
    stage->relay.times = timed ? &stage->times : nullptr;
    try {
        stage->reader = std::thread(body, stage);
    } catch (const std::system_error&) {
        *error = "cannot start the output's thread";
        ClosePipe(stage);
        for (int part : stage->parts) CloseDescriptor(part);
        stage->parts.clear();
        std::fclose(sink);
        stage->relay.sink = nullptr;
        return false;
    }
    stage->running = true;
    return true;
}

}  // namespace

OutputStage::~OutputStage() {
    std::string ignored;
    FinishStage(this, &ignored);
}

bool StagesOutput() {
    ModulePipe pipe;
    if (!OpenModulePipe(&pipe)) return false;
    CloseDescriptor(pipe.readEnd);
    CloseDescriptor(pipe.writeEnd);
    return true;
}

bool StartStage(OutputStage* stage, std::FILE* sink, bool timed, std::string* error) {
    if (!OpenModulePipe(&stage->pipe)) {
        *error = "cannot make a pipe for the module's GIF: " + WriteErrorReason(errno);
        std::fclose(sink);
        return false;
    }
    return StartThread(stage, Relay, sink, timed, error);
}

bool StartPartsStage(OutputStage* stage, std::FILE* sink, const std::vector<int>& parts, std::string* error) {
    stage->parts = parts;
    return StartThread(stage, Stitch, sink, true, error);
}

void AddFrameTime(OutputStage* stage, FrameTime time) {
    std::lock_guard<std::mutex> hold(stage->times.lock);
    std::vector<FrameTime>& frames = stage->times.frames;
    // The frame before lasts until this one starts.
    if (!frames.empty()) frames.back().end = time.start;
    frames.push_back(time);
}

void ExtendLastFrame(OutputStage* stage, int64_t end) {
    std::lock_guard<std::mutex> hold(stage->times.lock);
    if (!stage->times.frames.empty() && end > stage->times.frames.back().end) stage->times.frames.back().end = end;
}

bool FinishStage(OutputStage* stage, std::string* error) {
    if (!stage->running) return true;
    stage->running = false;
    // The module has closed its end; with ours closed the thread reads the end.
    CloseDescriptor(stage->pipe.writeEnd);
    stage->pipe.writeEnd = -1;
    stage->reader.join();
    ClosePipe(stage);
    GifRelay& relay = stage->relay;
    int failure = relay.writeError;
    if (relay.sink != nullptr && std::fclose(relay.sink) != 0 && failure == 0 && relay.written > 0) failure = errno;
    relay.sink = nullptr;
    if (failure != 0) {
        *error = WriteErrorReason(failure);
        return false;
    }
    if (relay.broken) {
        *error = "the module's GIF is not made of the blocks it should be (cut off after " +
                 std::to_string(relay.frames) + " frames)";
        return false;
    }
    return true;
}
