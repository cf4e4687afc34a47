// Frame timing for resampling a stream to another rate by its timestamps:
// output frame k (at time k / rate) shows the latest source frame whose
// time is at most k / rate, so frames are repeated where the source is
// slower and dropped where it is faster.
//
// Times are counted in ticks of the stream's time base. A timestamp is the
// true time rounded to a tick, so it is taken as up to half a tick early:
// a 30 fps stream stored in milliseconds (0, 33, 67, 100, ...) resampled to
// 30 fps keeps every frame instead of repeating frame 1 and dropping 2.

#pragma once

#include <cstdint>

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
