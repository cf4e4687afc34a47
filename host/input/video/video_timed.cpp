// The times of frames delivered at their own times, and the mending of
// times that restart. A pause in the stream's own time stays a pause: the
// output gives it as one long delay. In a format whose timestamps may
// restart (MPEG-TS and the others FFmpeg marks so; recorded segments are
// joined with cat), a packet whose decoding time runs back at all, or
// jumps ahead past FFmpeg's own discontinuity threshold (10 s), starts
// again: it is closed up to the packet before at the stream's grid, and
// every later packet moves with it, before the walk counts it or the
// decoder gets it, so that the join neither loses frames nor pauses. A time
// that runs back past the threshold in any other format (a first frame
// stamped late, say) is closed up the same way as the frame is timed, so
// that a broken timestamp cannot make a GIF of hours from a second of
// frames, nor lose the frames after it. One frame stamped past the
// threshold from both its neighbours while they agree with each other
// (MP4 and Matroska keep such a stamp as written) is timed as they say,
// halfway between them, and the frames after it keep their times.
#include <algorithm>
#include <cstdlib>
#include <new>

#include "host/input/video/video_decoder_state.h"

namespace {

constexpr AVRational kMicroseconds = {1, 1000000};
constexpr int64_t kDiscontinuitySeconds = 10;

// One frame at the plan's rate, in ticks; at least one.
int64_t FrameTicks(const VideoPlan& plan, AVRational base) {
    return std::max<int64_t>(1, av_rescale_q(1, AVRational{plan.scale, plan.rate}, base));
}

}  // namespace

bool MendRestart(Restarts* restarts, AVPacket* packet, AVRational timeBase, AVRational rate) {
    // Decoding times, which only a restart runs back (presentation times
    // run back at every B-frame); a packet without one moves with the rest.
    const int64_t stamped = packet->dts;
    int64_t at = stamped == AV_NOPTS_VALUE ? restarts->last : stamped - restarts->shift;
    const int64_t last = restarts->last;
    const int64_t threshold = av_rescale_q(kDiscontinuitySeconds, AVRational{1, 1}, timeBase);
    if (stamped != AV_NOPTS_VALUE && last != AV_NOPTS_VALUE && (at < last || at - last > threshold)) {
        int64_t step = restarts->lastDuration;
        if (step <= 0 && rate.num > 0 && rate.den > 0) step = av_rescale_q(1, av_inv_q(rate), timeBase);
        at = last + std::max<int64_t>(step, 1);
        restarts->shift = stamped - at;
        ++restarts->mended;
        // The demuxer flags one of the last packets before a seam as
        // corrupt (the continuity count breaks there, and its parser holds
        // a packet back), whole or not: the damage log asks the decoder
        // (video_damage.cpp).
        try {
            for (const int64_t shown : restarts->lastShown) {
                if (shown != AV_NOPTS_VALUE) restarts->seams.push_back(shown);
            }
        } catch (const std::bad_alloc&) {
            return false;
        }
        std::sort(restarts->seams.begin(), restarts->seams.end());
    }
    restarts->last = at;
    restarts->lastDuration = packet->duration;
    if (packet->dts != AV_NOPTS_VALUE) packet->dts -= restarts->shift;
    if (packet->pts != AV_NOPTS_VALUE) packet->pts -= restarts->shift;
    restarts->lastShown[0] = restarts->lastShown[1];
    restarts->lastShown[1] = packet->pts;
    return true;
}

int64_t JumpTicks(const VideoPlan& plan) {
    return av_rescale_q(kDiscontinuitySeconds, AVRational{1, 1}, AVRational{plan.timeBase.num, plan.timeBase.den});
}

bool TimeJumps(const TimedFrames& timed, const VideoPlan& plan, int64_t ticks) {
    if (ticks == AV_NOPTS_VALUE || timed.lastTicks == AV_NOPTS_VALUE) return false;
    const int64_t at = ticks - plan.startTicks - timed.shift;
    return std::abs(at - timed.lastTicks) > JumpTicks(plan);
}

TimedPlace TimeFrame(TimedFrames* timed, const VideoPlan& plan, bool restarts, int64_t ticks, int64_t duration,
                     int64_t next) {
    const AVRational base = {plan.timeBase.num, plan.timeBase.den};
    const int64_t step = FrameTicks(plan, base);
    // A frame without a time follows the one before it by a frame.
    int64_t at = ticks == AV_NOPTS_VALUE ? (timed->lastTicks == AV_NOPTS_VALUE ? 0 : timed->lastTicks + step)
                                         : ticks - plan.startTicks - timed->shift;
    const int64_t threshold = JumpTicks(plan);
    const int64_t last = timed->lastTicks;
    const int64_t following = next == AV_NOPTS_VALUE ? next : next - plan.startTicks - timed->shift;
    const bool misstamped = TimeJumps(*timed, plan, ticks) && following != AV_NOPTS_VALUE &&
                            std::abs(following - at) > threshold && std::abs(following - last) <= threshold;
    const bool backwards = !misstamped && last != AV_NOPTS_VALUE && last - at > threshold;
    const bool forwards = !misstamped && restarts && last != AV_NOPTS_VALUE && at - last > threshold;
    if (misstamped) {
        at = following > last ? last + (following - last) / 2 : last + step;
        ++timed->mended;
    } else if (backwards || forwards) {
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
