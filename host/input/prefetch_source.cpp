// Reading ahead on a second thread (prefetch_source.h). The reading thread
// owns the wrapped source while it reads; the job's thread owns the outer
// record and its current frame. Between them, under one lock: the frames
// read and not yet taken (each in a buffer of its own, with the outcome
// that ended the frames last), and the empty buffers the reader may fill.
// A frame changes hands by swapping buffers. Waits wake to look at the stop
// flag. The record owns the reading thread, and closing always joins it: a
// reader blocked on a silent pipe is woken by a stop signal, which lands on
// its thread, or by the pipe's next bytes or end.
#include "host/input/prefetch_source.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "host/common/stop_signal.h"
#include "host/input/frame_buffer.h"
#include "platform/stop_signal_thread.h"

namespace {

// Frame buffers alive at most: the job's current frame and two read ahead
// (the one being read among them), enough to ride over a slow frame on
// either side, few enough to keep the memory small.
constexpr size_t kBuffers = 3;
// How often a waiting thread looks at the stop and close flags.
constexpr std::chrono::milliseconds kPoll(100);

struct Handed {
    FrameRead read;
    std::string problem;
    FramePixels pixels;  // the frame, when read is Frame
    int64_t time;        // when it is shown (a timed source)
    int64_t duration;
    int64_t mended;
};

struct Prefetch {
    FrameSource inner;     // the wrapped source: the reader's while `reading`
    int64_t frameLimit;    // frames the reader reads at most, -1: all
    std::mutex lock;
    std::condition_variable changed;
    std::deque<Handed> ready;                  // oldest first; the last may end the frames
    std::vector<FramePixels> spare;            // buffers for the reader (empty: not taken yet)
    bool reading = true;     // false once the reader has stopped reading
    bool closing = false;    // the source is being closed: the reader leaves
    std::thread reader;      // joined by ClosePrefetch
    // The job's thread only: the outcome that ended the frames, once taken.
    bool ended = false;
    Handed end{FrameRead::End, std::string(), {}, 0, 0, 0};
};

// Whether the reader may read another frame: false once it may not (the
// frame limit is reached, or the source is closing). Waits for a buffer.
bool MayReadOn(Prefetch* prefetch) {
    if (prefetch->frameLimit >= 0 && prefetch->inner.loaded + 1 >= prefetch->frameLimit) return false;
    std::unique_lock<std::mutex> hold(prefetch->lock);
    while (!prefetch->closing && prefetch->inner.pixels.empty() && prefetch->spare.empty()) {
        prefetch->changed.wait_for(hold, kPoll);
    }
    if (prefetch->closing) return false;
    if (prefetch->inner.pixels.empty()) {
        prefetch->inner.pixels.swap(prefetch->spare.back());
        prefetch->spare.pop_back();
    }
    return true;
}

// A buffer is taken the first time it is needed, on this thread: faulting
// its pages in (zero-filled by the system, frame_buffer.h) then runs
// beside the module's work, not before the first frame.
FrameRead ReadInto(Prefetch* prefetch, size_t frameBytes, std::string* problem) {
    if (prefetch->inner.pixels.empty() && !Allocate(&prefetch->inner.pixels, frameBytes, problem)) {
        return FrameRead::Failed;
    }
    // After a stop request no further read is begun: it could block on a pipe.
    return StopRequested() ? FrameRead::Interrupted : ReadNextFrame(&prefetch->inner, problem);
}

void ReadFramesAhead(Prefetch* prefetch) {
    const size_t frameBytes = prefetch->inner.pixels.size();
    std::string problem;
    while (MayReadOn(prefetch)) {
        const FrameRead read = ReadInto(prefetch, frameBytes, &problem);
        std::lock_guard<std::mutex> hold(prefetch->lock);
        Handed handed{read, problem, {}, prefetch->inner.time, prefetch->inner.duration,
                      prefetch->inner.mended};
        if (read == FrameRead::Frame) handed.pixels.swap(prefetch->inner.pixels);
        prefetch->ready.push_back(std::move(handed));
        prefetch->changed.notify_all();
        if (read != FrameRead::Frame) return;
    }
}

// The reading thread: reads ahead, then stays until the source closes, so
// that a stop signal always has a thread that takes it.
void Work(Prefetch* prefetch) {
    HoldStopSignals(false);
    ReadFramesAhead(prefetch);
    std::unique_lock<std::mutex> hold(prefetch->lock);
    prefetch->reading = false;
    prefetch->changed.notify_all();
    while (!prefetch->closing) prefetch->changed.wait_for(hold, kPoll);
}

// The reader stopped at the frame limit: frames past it (which the job
// does not ask for) are read here, directly.
FrameRead ReadDirectly(FrameSource* source, Prefetch* prefetch, std::string* problem) {
    if (prefetch->inner.pixels.empty()) prefetch->inner.pixels.swap(source->pixels);
    const FrameRead read = ReadNextFrame(&prefetch->inner, problem);
    if (read == FrameRead::Frame) {
        source->pixels.swap(prefetch->inner.pixels);
        source->time = prefetch->inner.time;
        source->duration = prefetch->inner.duration;
        source->mended = prefetch->inner.mended;
    }
    return read;
}

FrameRead ReadPrefetched(FrameSource* source, std::string* problem) {
    Prefetch* prefetch = StateOf<Prefetch>(source);
    if (prefetch->ended) {
        *problem = prefetch->end.problem;
        return prefetch->end.read;
    }
    std::unique_lock<std::mutex> hold(prefetch->lock);
    while (prefetch->ready.empty() && prefetch->reading) {
        if (StopRequested()) return FrameRead::Interrupted;
        prefetch->changed.wait_for(hold, kPoll);
    }
    if (prefetch->ready.empty()) {
        hold.unlock();
        return ReadDirectly(source, prefetch, problem);
    }
    Handed handed = std::move(prefetch->ready.front());
    prefetch->ready.pop_front();
    *problem = handed.problem;
    if (handed.read != FrameRead::Frame) {
        prefetch->ended = true;
        prefetch->end = handed;
        return handed.read;
    }
    source->pixels.swap(handed.pixels);
    source->time = handed.time;
    source->duration = handed.duration;
    source->mended = handed.mended;
    prefetch->spare.push_back(std::move(handed.pixels));
    prefetch->changed.notify_all();
    return FrameRead::Frame;
}

// The record's closing function, on the job's thread: the reader leaves
// and is joined, then the wrapped source is closed.
void ClosePrefetch(Prefetch* prefetch) {
    {
        std::lock_guard<std::mutex> hold(prefetch->lock);
        prefetch->closing = true;
        prefetch->changed.notify_all();
    }
    prefetch->reader.join();
    CloseSource(&prefetch->inner);
    HoldStopSignals(false);
    delete prefetch;
}

const SourceReader kPrefetchReader = {ReadPrefetched};

}  // namespace

bool StartPrefetch(FrameSource* source, int64_t frameLimit) {
    if (source->reader == nullptr || source->loaded >= 0 || source->pixels.empty()) return false;
    std::unique_ptr<Prefetch> prefetch(new Prefetch{});
    prefetch->frameLimit = frameLimit;
    // The reader reads into the source's buffer first; the job gives its
    // own (empty) one back for the first frame it takes; the rest of the
    // buffers are spares, each taken when first needed.
    prefetch->spare.resize(kBuffers - 2);
    // The outer record: the wrapped source's facts, its frames from the
    // queue. Its rules for the end (a walked file's tail) stay with it.
    FramePixels innerPixels;
    innerPixels.swap(source->pixels);
    FrameSource outer = *source;
    outer.reader = &kPrefetchReader;
    outer.state.reset();
    outer.walked = false;
    outer.tail.clear();
    prefetch->inner = std::move(*source);
    prefetch->inner.pixels.swap(innerPixels);
    HoldStopSignals(true);
    try {
        prefetch->reader = std::thread(Work, prefetch.get());
    } catch (const std::system_error&) {
        HoldStopSignals(false);
        *source = std::move(prefetch->inner);
        return false;
    }
    outer.state = std::shared_ptr<Prefetch>(prefetch.release(), ClosePrefetch);
    *source = std::move(outer);
    return true;
}
