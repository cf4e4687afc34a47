// The times of frames delivered at their own times. A pause in the
// stream's own time stays a pause: the output gives it as one long delay.
// A jump in a format whose timestamps may restart (MPEG-TS, say) is damage
// to the timing, not a pause, and so is a time that runs back (a first
// frame stamped late, say): past FFmpeg's own discontinuity threshold
// (10 s) the frame is closed up to the one before at the stream's rate,
// and every later frame moves with it, so that a broken timestamp cannot
// make a GIF of hours from a second of frames, nor lose the frames after it.
#include <algorithm>

#include "host/input/video/video_decoder_state.h"

namespace {

constexpr AVRational kMicroseconds = {1, 1000000};
constexpr int64_t kDiscontinuitySeconds = 10;

// One frame at the plan's rate, in ticks; at least one.
int64_t FrameTicks(const VideoPlan& plan, AVRational base) {
    return std::max<int64_t>(1, av_rescale_q(1, AVRational{plan.scale, plan.rate}, base));
}

}  // namespace

int64_t JumpTicks(const VideoPlan& plan) {
    return av_rescale_q(kDiscontinuitySeconds, AVRational{1, 1}, AVRational{plan.timeBase.num, plan.timeBase.den});
}

TimedPlace TimeFrame(TimedFrames* timed, const VideoPlan& plan, bool restarts, int64_t ticks, int64_t duration) {
    const AVRational base = {plan.timeBase.num, plan.timeBase.den};
    const int64_t step = FrameTicks(plan, base);
    // A frame without a time follows the one before it by a frame.
    int64_t at = ticks == AV_NOPTS_VALUE ? (timed->lastTicks == AV_NOPTS_VALUE ? 0 : timed->lastTicks + step)
                                         : ticks - plan.startTicks - timed->shift;
    const int64_t threshold = JumpTicks(plan);
    const bool backwards = timed->lastTicks != AV_NOPTS_VALUE && timed->lastTicks - at > threshold;
    const bool forwards = restarts && timed->lastTicks != AV_NOPTS_VALUE && at - timed->lastTicks > threshold;
    if (backwards || forwards) {
        timed->shift += at - (timed->lastTicks + step);
        at = timed->lastTicks + step;
        ++timed->mended;
    }
    if (at < 0 && plan.startTicks > 0) return TimedPlace::Early;
    at = std::max<int64_t>(at, 0);  // untrimmed, the first frame stands in for any before it
    const int64_t stop = plan.stopTicks >= 0 ? plan.stopTicks - plan.startTicks : -1;
    if (stop >= 0 && at >= stop) return TimedPlace::PastStop;
    timed->lastTicks = at;
    if (stop >= 0 && duration > 0) duration = std::min(duration, stop - at);
    timed->time = av_rescale_q(at, base, kMicroseconds);
    timed->duration = duration > 0 ? av_rescale_q(duration, base, kMicroseconds) : 0;
    return TimedPlace::Shown;
}
