// Frame timing for resampling a stream to another rate by its timestamps:
// output frame k (at time k / rate) shows the latest source frame whose
// time is at most k / rate, so frames are repeated where the source is
// slower and dropped where it is faster.
//
// Times are counted in ticks of the stream's time base. A timestamp is the
// true time rounded to a tick, so it is taken as up to half a tick early:
// a 30 fps stream stored in milliseconds (0, 33, 67, 100, ...) resampled to
// 30 fps keeps every frame instead of repeating frame 1 and dropping 2.
//
// A stream whose timestamps are uneven may still lie on a grid: a screen
// recording at 25 fps that pauses has its frames at multiples of 40 ms with
// gaps between them. FindGrid finds that grid from the timestamps alone, so
// that an MP4 and a Matroska copy of one clip (whose containers guess
// different rates) give one answer.
#pragma once

#include <cstdint>
#include <vector>

struct TimeBase {
    int32_t num;  // one tick = num / den seconds
    int32_t den;
};

// How many output frames at RATE / SCALE per second come before time TICKS
// (counting from time 0): the count of k >= 0 with k * scale / rate earlier
// than TICKS less half a tick. A source frame at TICKS is first shown by
// output frame OutputFramesBefore(TICKS); a stream that ends at END fills
// OutputFramesBefore(END) frames. Negative times give 0; saturates at
// INT64_MAX. Needs positive num, den, rate and scale.
int64_t OutputFramesBefore(int64_t ticks, TimeBase base, int32_t rate, int32_t scale);

// The grid that every one of TIMES (ticks of BASE, in increasing order)
// lies on, counted from the first: RATE / SCALE frames per second whose
// frame times each timestamp is within a tick or 5 % of a frame of. The
// step is the smallest gap between timestamps, refined over the span;
// a rate within 0.2 % of a whole number or of N*1000/1001 is taken as that
// rate exactly. False (RATE, SCALE untouched) with fewer than two distinct
// times or when they lie on no grid.
bool FindGrid(const std::vector<int64_t>& times, TimeBase base, int32_t* rate, int32_t* scale);
