// The output job: fetch every frame from the host, encode it, and stitch the
// pieces into one looping animated GIF.
#pragma once

#include <cstdint>

#include "plugin/host_contract.h"

// Frame rate after normalisation: rate at most 65535.
struct FrameRate {
    int32_t rate;
    int32_t scale;
};

FrameRate NormaliseFrameRate(int32_t rate, int32_t scale);
// Cumulative display time of frame index, in hundredths of a second.
uint64_t DisplayTime(int32_t index, FrameRate frameRate);

// Runs the whole job; returns a WriteStatus (status.h).
int32_t WriteAnimation(const OutputRequest* request);
