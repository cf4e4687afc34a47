// What the output stage does with the module's bytes: cuts them into the
// GIF's pieces as they come (host/output/gif_pieces.h) and writes each on
// to the destination once it is whole. For frames that come at their own
// times it writes each frame's delay from those times: a frame is held
// until the next frame's time (or the last one's end) is known, and one
// longer than a GIF frame can carry is written as several. A stream that
// ends before its head is written nowhere: it holds no frame.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <vector>

#include "host/output/gif_pieces.h"

// When a frame given to the module is shown, in microseconds from the
// first frame: from START until END (the next frame's start, once known,
// replaces END).
struct FrameTime {
    int64_t start;
    int64_t end;
};

// The times of the frames the job gives, added by the job's thread while
// the stage's thread reads them.
struct FrameTimes {
    std::mutex lock;
    std::vector<FrameTime> frames;
};

struct GifRelay {
    std::FILE* sink = nullptr;       // where the pieces go
    FrameTimes* times = nullptr;     // null: the module's own delays stay
    std::vector<uint8_t> pending;    // bytes not yet cut
    bool headSeen = false;
    bool broken = false;             // the bytes are no GIF's blocks (or end inside one): the rest is dropped
    bool empty = false;              // the module closed a GIF without frames: nothing is written
    std::vector<uint8_t> held;       // timed: the last frame, waiting for its delay
    size_t heldDelayAt = kNoDelay;
    int64_t frames = 0;              // frames cut so far
    int64_t given = 0;               // hundredths given to the frames written
    int64_t written = 0;             // bytes written
    int writeError = 0;              // errno of the first failed write; later pieces are dropped
};

// Takes COUNT more bytes of the module's GIF, and writes on (and flushes)
// the pieces they complete.
void RelayBytes(GifRelay* relay, const uint8_t* bytes, size_t count);
// The module's GIF has ended: what is held is written.
void EndRelay(GifRelay* relay);
