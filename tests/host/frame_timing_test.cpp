// Resampling by timestamps: which source frame each output frame shows, for
// rates that divide evenly, rates that do not, timestamps rounded to a
// coarse time base, uneven spacing and times far beyond 64-bit products;
// the grid that uneven timestamps lie on.
#include "host/input/frame_timing.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The source frame each output frame shows, given the source frames'
// times (ticks after the first) and where the source ends, by the rule the
// decoder follows: source frame i is shown from OutputFramesBefore(time i)
// until the next frame's start.
std::vector<int> Shown(const std::vector<int64_t>& times, int64_t end, TimeBase base, int32_t rate, int32_t scale) {
    std::vector<int> shown;
    for (size_t i = 0; i < times.size(); ++i) {
        const int64_t until = i + 1 < times.size() ? OutputFramesBefore(times[i + 1], base, rate, scale)
                                                   : OutputFramesBefore(end, base, rate, scale);
        while (static_cast<int64_t>(shown.size()) < until) shown.push_back(static_cast<int>(i));
    }
    return shown;
}

std::vector<int64_t> Even(int count, int64_t step) {
    std::vector<int64_t> times;
    for (int i = 0; i < count; ++i) times.push_back(i * step);
    return times;
}

TEST(FrameTiming, SameRateKeepsEveryFrame) {
    // 25 fps in a 1/12800 time base (what ffmpeg's mp4 muxer picks).
    EXPECT_EQ(Shown(Even(5, 512), 5 * 512, TimeBase{1, 12800}, 25, 1), (std::vector<int>{0, 1, 2, 3, 4}));
    // 29.97 fps in a 90 kHz time base.
    EXPECT_EQ(Shown(Even(4, 3003), 4 * 3003, TimeBase{1, 90000}, 30000, 1001), (std::vector<int>{0, 1, 2, 3}));
}

TEST(FrameTiming, TimestampsRoundedToMillisecondsKeepEveryFrame) {
    // 30 fps stored in milliseconds, as Matroska does: 0, 33, 67, 100, 133.
    const std::vector<int64_t> times = {0, 33, 67, 100, 133};
    EXPECT_EQ(Shown(times, 167, TimeBase{1, 1000}, 30, 1), (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(FrameTiming, LowerRateShowsTheLatestFrameAtEachOutputTime) {
    // 25 fps to 10 fps: outputs at 0, 0.1, 0.2, 0.3 s show frames 0, 2, 5, 7.
    EXPECT_EQ(Shown(Even(10, 40), 400, TimeBase{1, 1000}, 10, 1), (std::vector<int>{0, 2, 5, 7}));
}

TEST(FrameTiming, HigherRateRepeatsFrames) {
    EXPECT_EQ(Shown(Even(3, 40), 120, TimeBase{1, 1000}, 50, 1), (std::vector<int>{0, 0, 1, 1, 2, 2}));
    // 24 to 30 fps: one frame in four is shown twice.
    EXPECT_EQ(Shown(Even(4, 1), 4, TimeBase{1, 24}, 30, 1), (std::vector<int>{0, 1, 2, 2, 3}));
}

TEST(FrameTiming, UnevenTimestampsKeepTheirTiming) {
    // Frames at 0, 40, 200 and 240 ms, seen at 25 fps: frame 1 stays on
    // screen until 200 ms.
    EXPECT_EQ(Shown({0, 40, 200, 240}, 280, TimeBase{1, 1000}, 25, 1), (std::vector<int>{0, 1, 1, 1, 1, 2, 3}));
    // Two frames within one output frame: the one between is never shown.
    EXPECT_EQ(Shown({0, 10, 20}, 60, TimeBase{1, 1000}, 25, 1), (std::vector<int>{0, 2}));
}

TEST(FrameTiming, StartAndEndCounts) {
    EXPECT_EQ(OutputFramesBefore(0, TimeBase{1, 1000}, 25, 1), 0);
    EXPECT_EQ(OutputFramesBefore(-40, TimeBase{1, 1000}, 25, 1), 0);
    EXPECT_EQ(OutputFramesBefore(1, TimeBase{1, 1000}, 25, 1), 1);
    // An end just past an output time includes it; one just at it does not.
    EXPECT_EQ(OutputFramesBefore(400, TimeBase{1, 1000}, 10, 1), 4);
    EXPECT_EQ(OutputFramesBefore(401, TimeBase{1, 1000}, 10, 1), 5);
}

TEST(FrameTiming, LargeTimesNeedNoMoreThanTheirOwnWidth) {
    // A day at 90 kHz shown at 30000/1001 fps: 86400 * 30000 / 1001 outputs.
    EXPECT_EQ(OutputFramesBefore(int64_t(86400) * 90000, TimeBase{1, 90000}, 30000, 1001), 2589411);
    // Products of about 2^125 still come out right.
    const int64_t ticks = int64_t(1) << 62;
    EXPECT_EQ(OutputFramesBefore(ticks, TimeBase{1, INT32_MAX}, INT32_MAX, 1), ticks);
    EXPECT_EQ(OutputFramesBefore(ticks, TimeBase{INT32_MAX, 1}, INT32_MAX, 1), INT64_MAX);
}

}  // namespace
