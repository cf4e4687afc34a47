// What the decoder will deliver, decided before any frame is decoded: the
// size, the rate, whether frames are resampled by their timestamps, and
// how many there will be. The decision is a function of plain numbers (what
// the container and the walk found, and what the user asked), so that its
// rules are testable without a clip; video_open.cpp gathers the numbers.
//
// The rules:
// - Orientation: the display matrix's rotation by a quarter turn and its
//   flips are applied as ffmpeg applies them (transpose, hflip, vflip);
//   other angles are taken as the nearest quarter turn.
// - Size: of the displayed picture, as a player shows it: the sample
//   aspect ratio applied and the picture turned. `width` and `height` 0:
//   square pixels at the display aspect, the stored height kept and the
//   width the stored width times the sample aspect rounded to the nearest
//   pixel (so within one pixel of the display aspect), then turned. One
//   given, the other follows the displayed aspect, rounded to the nearest
//   pixel and at least 1. Both given: exactly that. Frames past the GIF's
//   side limit or the host frame cap are refused.
// - Rate: an evenly spaced walked stream keeps its own rate, one for one.
//   Any other stream (uneven timestamps, or a pipe, which is not walked)
//   is timed: each frame the decoder gives is delivered once with its own
//   time, and the output writes its delay from that time; its rate is then
//   only what a frame lasts when nothing else says (the average, else the
//   stream's own, else 25). `fpsRate`/`fpsScale` resample any stream to the
//   rate given by its timestamps, repeating and dropping frames
//   (host/input/frame_timing.h). A pipe needs no look-ahead: its first
//   frame is delivered as soon as it is decoded.
// - Stills (an image sequence, one image, the cover picture of a sound
//   file) have no rate of their own: each is one frame, at `fpsRate` /
//   `fpsScale` when given, else 25 a second.
// - Trimming: `startMicroseconds` and `durationMicroseconds` (from the
//   first frame) cut the clip to the frame, as ffmpeg's -ss and -t: the
//   output begins at the first frame time of the rate chosen at or after
//   the start, and the frames are placed by
//   their timestamps at the rate chosen above; timed, it begins with the
//   first frame at or after the start, its times counted from the start.
//   A start at or past the end is refused.
// - Count: one for one and timed, the walked packets (timed and trimmed:
//   unknown); resampled, the output frames before the walked end
//   (host/input/frame_timing.h). An input that was not walked (a pipe)
//   has no count: -1.
#pragma once

#include <cstdint>
#include <string>

#include "host/input/input_request.h"
#include "host/input/frame_timing.h"

// How the stored picture is turned to be shown: output pixel (x, y) is
// stored pixel (u, v) with (u, v) = transpose ? (y, x) : (x, y), each
// mirrored when flipX / flipY.
struct Orientation {
    bool transpose = false;
    bool flipX = false;
    bool flipY = false;
};

// The orientation a display MATRIX (9 values, libavutil's layout) asks
// for, as ffmpeg's automatic rotation reads it; null: upright.
Orientation OrientationOf(const int32_t* matrix);

// NUM / DEN; a side that is not positive means "not given".
struct Fraction {
    int32_t num = 0;
    int32_t den = 1;
};

// The facts about the video stream that the plan depends on.
struct StreamFacts {
    int32_t width = 0;         // as stored (0: the stream gives none)
    int32_t height = 0;
    Fraction sampleAspect;     // a pixel's width / height; not given: square
    Orientation orientation;   // from the display matrix
    bool stills = false;       // still images: a numbered sequence, one image, a cover picture
    Fraction nominalRate;      // frames per second the stream names
    Fraction averageRate;      // frames per second the container averages
    TimeBase timeBase = {0, 1};  // of the timestamps; not positive: 1/90000 is taken
    bool walked = false;       // a seekable input demuxed once at open time
    int64_t packets = -1;      // walked: the video packets shown
    int64_t endTicks = -1;     // walked: ticks after the first frame where the last ends, -1 unknown
    bool variable = false;     // walked: the timestamps are not evenly spaced
    int64_t lastTicks = -1;    // walked: ticks after the first frame where the last starts, -1 unknown
};

struct VideoPlan {
    int32_t width = 0;         // of the frames delivered (as shown, turned)
    int32_t height = 0;
    Orientation orientation;
    bool resample = false;     // frames placed by their timestamps, not one for one
    bool timed = false;        // each frame delivered once, at its own time
    int32_t rate = 0;          // frames per second = rate / scale
    int32_t scale = 0;
    int64_t frameCount = -1;   // -1 when unknown
    TimeBase timeBase = {1, 90000};
    int64_t startTicks = 0;    // trimmed: where output frame 0 is, ticks after the first frame
    int64_t stopTicks = -1;    // trimmed: where the output ends, ticks after the first frame; -1: at the end
};

// Fills PLAN from FACTS and OPTIONS by the rules above. False with a
// REASON ("the video stream gives no frame rate", "frames of 70000x39375
// are too large ...") when no plan fits; PLAN is then partly filled.
bool PlanVideo(const StreamFacts& facts, const VideoOptions& options, VideoPlan* plan, std::string* reason);
