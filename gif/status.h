// Status codes of an output job. Zero or above is success for the host; every
// negative code makes the output entry report failure.
#pragma once

#include <cstdint>

enum WriteStatus : int32_t {
    kStatusOk = 0,                 // the job ran to its end or the user aborted it
    kStatusNoRequest = -1,         // the host passed no job record
    kStatusBadFrameRate = -2,      // rate or scale below 1: refused before the file is opened
    kStatusFrameNotEncoded = -3,   // a frame gave no usable block (no pixels, encoding failed,
                                   // a block too short to cut); earlier frames are kept
    kStatusWriteFailed = -4,       // a write, flush or close of the output failed (disk full)
    kStatusCannotOpen = -7,        // the output file could not be opened; nothing was written
};
