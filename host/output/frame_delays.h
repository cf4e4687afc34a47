// The display times of frames that come at their own times, in hundredths
// of a second as a GIF keeps them. Times are microseconds from the first
// frame. A frame's delay is the next frame's time rounded down to
// hundredths less the time already given (the module's cumulative rule,
// on real times), so rounding never adds up and the delays sum to the
// input's duration.
#pragma once

#include <cstdint>

namespace frame_delays {

constexpr int64_t kPerHundredth = 10000;  // microseconds
// Two hundredths: the shortest delay players keep (a shorter one is shown
// as a tenth), the 50-a-second rule on real times.
constexpr int64_t kShortest = 2 * kPerHundredth;
// The largest delay one frame can carry (16 bits); longer ones are split.
constexpr int64_t kLongest = 65535;

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
