// The plan for a video stream, from plain numbers: the rules are in
// video_plan.h. libavutil's rational arithmetic rounds the average rate
// the way the rest of the libraries do; nothing here touches a stream.
#include "host/input/video/video_plan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

extern "C" {
#include <libavutil/display.h>
#include <libavutil/mathematics.h>
#include <libavutil/rational.h>
}

#include "gif/gif_limits.h"
#include "host/input/frame_buffer.h"

namespace {

bool Given(Fraction value) {
    return value.num > 0 && value.den > 0;
}

// The size frames are delivered at.
bool PlanSize(const StreamFacts& facts, const VideoOptions& options, VideoPlan* plan, std::string* reason) {
    int64_t w = options.width;
    int64_t h = options.height;
    if (facts.width <= 0 || facts.height <= 0) {
        *reason = "the video stream gives no frame size";
        return false;
    }
    const Fraction aspect = Given(facts.sampleAspect) ? facts.sampleAspect : Fraction{1, 1};
    double shownWidth = std::max(1.0, std::round(double(facts.width) * aspect.num / aspect.den));
    double shownHeight = facts.height;
    if (facts.orientation.transpose) std::swap(shownWidth, shownHeight);
    if (w == 0 && h == 0) {
        w = static_cast<int64_t>(std::min(shownWidth, 1e9));
        h = static_cast<int64_t>(shownHeight);
    } else if (h == 0) {
        h = std::max<int64_t>(1, std::llround(double(w) * shownHeight / shownWidth));
    } else if (w == 0) {
        w = std::max<int64_t>(1, std::llround(double(h) * shownWidth / shownHeight));
    }
    if (w > gif_limits::kMaxSide || h > gif_limits::kMaxSide ||
        FrameBytes(static_cast<int32_t>(w), static_cast<int32_t>(h)) == 0) {
        *reason = "frames of " + std::to_string(w) + "x" + std::to_string(h) + " are too large (at most " +
                  std::to_string(gif_limits::kMaxSide) + " a side and 1 GiB each)";
        return false;
    }
    plan->width = static_cast<int32_t>(w);
    plan->height = static_cast<int32_t>(h);
    return true;
}

// The rate a variable stream is resampled to: the container's average,
// else the one its packets span, as a fraction of at most 100000 either
// side. False when neither is known.
bool AverageRate(const StreamFacts& facts, TimeBase base, Fraction* rate) {
    AVRational average = {facts.averageRate.num, facts.averageRate.den};
    if ((average.num <= 0 || average.den <= 0) && facts.endTicks > 0) {
        av_reduce(&average.num, &average.den, (facts.packets - 1) * int64_t(base.den),
                  facts.endTicks * int64_t(base.num), INT32_MAX);
    }
    if (average.num <= 0 || average.den <= 0) return false;
    average = av_d2q(av_q2d(average), 100000);
    *rate = Fraction{average.num, average.den};
    return true;
}

// The rate frames are delivered at, and whether they are resampled to it.
bool PlanRate(const StreamFacts& facts, const VideoOptions& options, VideoPlan* plan, std::string* reason) {
    Fraction average;
    if (facts.stills) {
        const bool given = options.fpsRate > 0 && options.fpsScale > 0;
        plan->resample = false;
        plan->rate = given ? options.fpsRate : kStillsRate;
        plan->scale = given ? options.fpsScale : 1;
        // Images are shown one a frame at that rate, whatever rate their
        // demuxer stamped them at (25 a second): their ticks are taken as
        // lasting that much longer or shorter, as ffmpeg's -framerate times
        // them, so that --start, --duration and --to count in the images'
        // own time. A pipe's images cannot be opened again at another rate.
        if (given && Given(facts.nominalRate)) {
            const AVRational stamped = {facts.nominalRate.num, facts.nominalRate.den};
            const AVRational base =
                av_mul_q(av_mul_q(AVRational{plan->timeBase.num, plan->timeBase.den}, stamped),
                         AVRational{plan->scale, plan->rate});
            if (base.num > 0 && base.den > 0) plan->timeBase = TimeBase{base.num, base.den};
        }
    } else if (options.fpsRate > 0 && options.fpsScale > 0) {
        plan->resample = true;
        plan->rate = options.fpsRate;
        plan->scale = options.fpsScale;
    } else if (!facts.walked || facts.variable) {
        // Frames at their own times; the rate only says what a frame
        // lasts where nothing else does.
        plan->timed = true;
        Fraction rate = facts.nominalRate;
        if (facts.walked && AverageRate(facts, plan->timeBase, &average)) rate = average;
        if (!Given(rate)) rate = Fraction{25, 1};
        plan->rate = rate.num;
        plan->scale = rate.den;
    } else {
        plan->resample = false;
        plan->rate = facts.nominalRate.num;
        plan->scale = facts.nominalRate.den;
        if (!Given(facts.nominalRate)) {
            *reason = "the video stream gives no frame rate";
            return false;
        }
    }
    return true;
}

// How many frames a walked input delivers; a pipe's count is unknown.
int64_t PlanCount(const StreamFacts& facts, const VideoPlan& plan) {
    if (!facts.walked) return -1;
    if (!plan.resample || facts.endTicks < 0) return facts.packets;
    return OutputFramesBefore(facts.endTicks, plan.timeBase, plan.rate, plan.scale);
}

// Ticks of BASE in MICROSECONDS, rounded to the nearest.
int64_t TicksOf(int64_t microseconds, TimeBase base) {
    return av_rescale_q(microseconds, AVRational{1, 1000000}, AVRational{base.num, base.den});
}

// Where a start past the end is refused: "(12.34 s)".
std::string EndText(int64_t ticks, TimeBase base) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f s", ticks * base.num / double(base.den));
    return std::string("--start is at or past the end of the video (") + seconds + ")";
}

// A timed span: from the first frame at or after the start, its count
// unknown until the frames end.
bool PlanTimedTrim(const StreamFacts& facts, const VideoOptions& options, VideoPlan* plan, std::string* reason) {
    plan->startTicks = TicksOf(options.startMicroseconds, plan->timeBase);
    if (options.durationMicroseconds >= 0) {
        plan->stopTicks = plan->startTicks + TicksOf(options.durationMicroseconds, plan->timeBase);
    }
    plan->frameCount = -1;
    if (facts.walked && facts.lastTicks >= 0 && plan->startTicks > facts.lastTicks) {
        *reason = EndText(facts.endTicks >= 0 ? facts.endTicks : facts.lastTicks, plan->timeBase);
        return false;
    }
    return true;
}

// The trimmed span: where it starts and stops, resampled by timestamps,
// and its count on a walked input. False with REASON when it holds nothing.
bool PlanTrim(const StreamFacts& facts, const VideoOptions& options, VideoPlan* plan, std::string* reason) {
    if (options.startMicroseconds <= 0 && options.durationMicroseconds < 0) return true;
    if (plan->timed) return PlanTimedTrim(facts, options, plan, reason);
    plan->resample = true;
    // As ffmpeg's -ss: the GIF begins with the first frame at or after the
    // start, so a start between two frames moves to the next one.
    const AVRational frame = {plan->scale, plan->rate};
    const AVRational base = {plan->timeBase.num, plan->timeBase.den};
    const int64_t asked = TicksOf(options.startMicroseconds, plan->timeBase);
    plan->startTicks = av_rescale_q(OutputFramesBefore(asked, plan->timeBase, plan->rate, plan->scale), frame, base);
    if (options.durationMicroseconds >= 0) {
        plan->stopTicks = asked + TicksOf(options.durationMicroseconds, plan->timeBase);
    }
    if (!facts.walked || plan->frameCount < 0) return true;
    // Where the untrimmed frames end: past the last output frame counted.
    const int64_t end = av_rescale_q(plan->frameCount, frame, base);
    const int64_t stop = plan->stopTicks >= 0 ? std::min(plan->stopTicks, end) : end;
    if (stop <= plan->startTicks) {
        *reason = EndText(end, plan->timeBase);
        return false;
    }
    plan->frameCount = OutputFramesBefore(stop - plan->startTicks, plan->timeBase, plan->rate, plan->scale);
    return true;
}

}  // namespace

Orientation OrientationOf(const int32_t* matrix) {
    Orientation turn;
    if (matrix == nullptr) return turn;
    // ffmpeg's reading: the angle clockwise, then the signs of the matrix
    // for the flips that come with it.
    double theta = -std::round(av_display_rotation_get(matrix));
    theta -= 360 * std::floor(theta / 360 + 0.9 / 360);
    const int quarter = static_cast<int>(std::lround(theta / 90)) % 4;
    if (quarter == 1) {
        turn.transpose = true;
        turn.flipY = matrix[3] <= 0;   // "clock"; else "cclock_flip", a plain transpose
    } else if (quarter == 3) {
        turn.transpose = true;
        turn.flipX = true;             // "cclock", or "clock_flip" with both mirrored
        turn.flipY = matrix[3] < 0;
    } else if (quarter == 2) {
        turn.flipX = matrix[0] < 0;
        turn.flipY = matrix[4] < 0;
    } else {
        turn.flipY = matrix[4] < 0;
    }
    return turn;
}

bool PlanVideo(const StreamFacts& facts, const VideoOptions& options, VideoPlan* plan, std::string* reason) {
    *plan = VideoPlan();
    plan->orientation = facts.orientation;
    if (facts.timeBase.num > 0 && facts.timeBase.den > 0) plan->timeBase = facts.timeBase;
    if (!PlanRate(facts, options, plan, reason)) return false;
    const bool resampled = plan->resample;
    plan->frameCount = PlanCount(facts, *plan);
    // Trimmed without a resampling rate: the stream's rate, by timestamps.
    if (!resampled && !plan->timed && (options.startMicroseconds > 0 || options.durationMicroseconds >= 0)) {
        plan->frameCount = facts.walked && facts.endTicks >= 0
                               ? OutputFramesBefore(facts.endTicks, plan->timeBase, plan->rate, plan->scale)
                               : plan->frameCount;
    }
    return PlanTrim(facts, options, plan, reason) && PlanSize(facts, options, plan, reason);
}
