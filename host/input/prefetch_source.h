// Reading ahead on a second thread: a frame source that wraps any other,
// so that the next frames are read, decoded, scaled and converted while the
// module encodes the current one. The module itself starts no thread; this
// one is rozove's. Frames are handed over through a small queue by
// swapping buffers, never copied, and every outcome (the end, damage, a
// failure, a stop request) reaches the job as the wrapped source gave it,
// with the same message, in its place after the frames before it.
#pragma once

#include <cstdint>
#include "host/input/frame_source.h"

// Turns SOURCE, opened and not yet read, into a source that reads it ahead
// on a thread of its own, never past frame FRAME_LIMIT (-1: no limit), so
// that no input is read that the job will not use. The thread that calls
// this (and later reads and closes the source) holds the stop signals back
// until CloseSource, so that they reach the reading thread and wake a read
// blocked on a silent pipe. False, SOURCE untouched, when the thread or its
// buffers cannot be had: the source is then read as it is, on one thread.
bool StartPrefetch(FrameSource* source, int64_t frameLimit);
