// The display times of frames that come at their own times, in hundredths
// of a second as a GIF keeps them. Times are microseconds from the first
// frame. A frame's delay is the next frame's time rounded down to
// hundredths less the time already given (the module's cumulative rule,
// on real times), so rounding never adds up and the delays sum to the
// input's duration.
#pragma once

#include <cstdint>

#include "gif/gif_limits.h"

namespace frame_delays {

constexpr int64_t kPerHundredth = 10000;  // microseconds
// The shortest frame that plays smoothly (the 50-a-second rule, on real times).
constexpr int64_t kShortest = 100 / gif_limits::kMaxSmoothRate * kPerHundredth;
// The longest delay one frame can carry; longer ones are split.
constexpr int64_t kLongest = gif_limits::kMaxDelayHundredths;

// A frame at TIME, less than two hundredths after the frame kept before
// it at KEPT, is folded into that one: its picture dropped, its time
// added to the frame before.
inline bool FoldsInto(int64_t kept, int64_t time) {
    return time - kept < kShortest;
}

// The delay of a frame shown until UNTIL, with GIVEN hundredths already
// given to the frames before; GIVEN moves on by it. Never negative.
int64_t DelayUntil(int64_t until, int64_t* given);

}  // namespace frame_delays
