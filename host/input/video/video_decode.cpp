// Decoding and delivering frames: each frame the decoder gives
// (video_feed.cpp) is placed on the output's timeline, and each output
// frame shows the source frame placed there (host/input/frame_timing.h): a
// source frame is shown from its first output index until the next frame's;
// without resampling that index is its place among the packets' times (not
// the order frames come out in, which frame threads do not keep in step).
//
// A frame the decoder does not give is skipped and the frame before it
// stays on screen for its time, so the clip keeps its length and the
// frames after the damage. The skipped frames are found by their times,
// counted and named in one line once the frames end (video_damage.cpp),
// and the outcome is then Damaged.
#include <algorithm>

#include "host/input/video/video_decoder_state.h"

namespace {

// The outcome of an input whose frames all came: End, Damaged when the
// walk found it cut, or Mended when frames came damaged or were skipped
// (held over) but every one is in place.
FrameRead CleanEnd(const VideoDecoder* decoder, std::string* problem) {
    *problem = decoder->demux.walkProblem;
    const std::string damage = DamageSummary(decoder);
    if (!damage.empty()) *problem += (problem->empty() ? "" : "; ") + damage;
    if (problem->empty()) return FrameRead::End;
    return decoder->demux.walkProblem.empty() ? FrameRead::Mended : FrameRead::Damaged;
}

// A decoded frame's duration in ticks, 0 when unknown. libavutil 57.30
// renamed the field; this is the one place that knows.
int64_t FrameDuration(const AVFrame* frame) {
#if LIBAVUTIL_VERSION_INT >= AV_VERSION_INT(57, 30, 100)
    return frame->duration;
#else
    return frame->pkt_duration;
#endif
}

// What became of a decoded frame.
enum class Placed {
    Shown,     // placed on the output's timeline
    Late,      // its time is not after the last frame's: passed over
    PastStop,  // at or past where a trimmed output stops
    Early,     // timed: before where a trimmed output starts
    NoMemory,
};

// The packet's own time, which FRAME carries through the threads;
// libavcodec's best guess where the packets have none (AVI), not over it:
// the guess takes decoding times once times run backwards (after a lost
// key frame), and would then match no packet.
int64_t TicksOf(const AVFrame* frame) {
    return frame->pts != AV_NOPTS_VALUE ? frame->pts : frame->best_effort_timestamp;
}

// TICKS (the stream's own) after the first frame; AV_NOPTS_VALUE stays.
int64_t AfterFirst(const VideoDecoder* decoder, int64_t ticks) {
    const int64_t first = decoder->timeline.firstTicks;
    return ticks == AV_NOPTS_VALUE || first == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : ticks - first;
}

// Places a timed frame at TICKS (the stream's own, AV_NOPTS_VALUE unknown);
// NEXT: the time of the frame after it, when it was decoded ahead.
Placed PlaceTimed(VideoDecoder* decoder, int64_t ticks, int64_t next) {
    const Demuxing& demux = decoder->demux;
    const bool restarts = TimesRestart(demux.format.get());
    const TimedPlace place = TimeFrame(&decoder->timed, demux.plan, restarts, AfterFirst(decoder, ticks),
                                       FrameDuration(decoder->timeline.pending.get()), AfterFirst(decoder, next));
    if (place == TimedPlace::Early) return Placed::Early;
    return place == TimedPlace::PastStop ? Placed::PastStop : Placed::Shown;
}

// Takes the decoded frame in `pending`: its time after the first frame
// (and the start), its first output index, and how far the frames decoded
// so far reach. A frame whose time is not after the last one's (the
// decoder gives a lost key frame's leading frames late) is passed over, as
// ffmpeg passes it over, and counts as lost. NEXT: timed, the time of the
// frame after it when it was decoded ahead, else AV_NOPTS_VALUE.
Placed PlacePending(VideoDecoder* decoder, int64_t next) {
    Timeline& timeline = decoder->timeline;
    const VideoPlan& plan = decoder->demux.plan;
    const AVFrame* frame = timeline.pending.get();
    const int64_t ticks = TicksOf(frame);
    const std::vector<int64_t>& shown = decoder->damage.shownTimes;
    // Timed, a time far behind is the timing's damage, mended where it is placed.
    const bool backJump = plan.timed && !shown.empty() && shown.back() - ticks > JumpTicks(plan);
    if (ticks != AV_NOPTS_VALUE && !shown.empty() && ticks <= shown.back() && !backJump) return Placed::Late;
    if (!NoteShown(&decoder->damage, frame, ticks)) return Placed::NoMemory;
    if (timeline.firstTicks == AV_NOPTS_VALUE) timeline.firstTicks = FirstOfPipe(decoder, ticks);
    if (plan.timed) return PlaceTimed(decoder, ticks, next);
    if (!plan.resample) {
        // The first frame that decodes stands in for any before it; a
        // frame without a time follows the one before it.
        if (timeline.decoded == 1) {
            timeline.pendingStart = 0;
        } else if (ticks == AV_NOPTS_VALUE || decoder->damage.untimed) {
            timeline.pendingStart = timeline.lastStart + 1;
        } else {
            timeline.pendingStart = PlaceOneForOne(decoder, ticks);
        }
        timeline.lastStart = std::max(timeline.lastStart, timeline.pendingStart);
        return Placed::Shown;
    }
    // A frame without a time follows the one before it by a frame.
    const int64_t time =
        ticks == AV_NOPTS_VALUE ? timeline.lastEnd : ticks - timeline.firstTicks - plan.startTicks;
    if (plan.stopTicks >= 0 && time >= plan.stopTicks - plan.startTicks) return Placed::PastStop;
    timeline.pendingStart = OutputFramesBefore(time, plan.timeBase, plan.rate, plan.scale);
    timeline.lastStart = std::max(timeline.lastStart, timeline.pendingStart);
    int64_t duration = FrameDuration(frame);
    if (duration <= 0) {
        duration = std::max<int64_t>(1, av_rescale_q(1, AVRational{plan.scale, plan.rate},
                                                     AVRational{plan.timeBase.num, plan.timeBase.den}));
    }
    timeline.lastEnd = std::max(timeline.lastEnd, time + duration);
    if (plan.stopTicks >= 0) timeline.lastEnd = std::min(timeline.lastEnd, plan.stopTicks - plan.startTicks);
    return Placed::Shown;
}

FrameRead Finish(VideoDecoder* decoder, FrameRead outcome, const std::string& problem) {
    Timeline& timeline = decoder->timeline;
    timeline.finished = true;
    timeline.outcome = outcome;
    timeline.problem = problem;
    return outcome;
}

// The output index where the last source frame stops being shown once the
// source has ended: one for one, after the frames of the packets sent (the
// last ones held for any the decoder did not give); resampled, at the
// walked end of a sound input, else as far as the last frame reaches.
int64_t EndIndex(const VideoDecoder* decoder) {
    const Timeline& timeline = decoder->timeline;
    const VideoPlan& plan = decoder->demux.plan;
    if (!plan.resample) return std::max(timeline.lastStart + 1, SentFrames(decoder));
    if (plan.frameCount >= 0 && timeline.endOutcome == FrameRead::End) return plan.frameCount;
    return OutputFramesBefore(timeline.lastEnd, plan.timeBase, plan.rate, plan.scale);
}

// The outcome once the source has ended and its last frame has been shown.
FrameRead FinishSource(VideoDecoder* decoder, std::string* problem) {
    Timeline& timeline = decoder->timeline;
    if (timeline.endOutcome != FrameRead::End) {
        const std::string damage = timeline.decoded > 0 ? DamageSummary(decoder) : std::string();
        *problem = timeline.endProblem + (damage.empty() || timeline.endProblem.empty() ? "" : "; ") + damage;
        return Finish(decoder, timeline.endOutcome, *problem);
    }
    // Fewer frames than the walk counted: the input changed or the decoder
    // dropped some (timed, those are named by the damage summary).
    if (decoder->demux.plan.frameCount >= 0 && !decoder->demux.plan.timed) {
        *problem = "the input ends after " + std::to_string(timeline.delivered) + " of its " +
                   std::to_string(decoder->demux.plan.frameCount) + " frames";
        return Finish(decoder, FrameRead::Damaged, *problem);
    }
    const FrameRead outcome = CleanEnd(decoder, problem);
    return Finish(decoder, outcome, *problem);
}

// Takes what became of a decoded frame that is not delivered; true with
// the outcome in READ when the frames end at it.
bool PassOver(VideoDecoder* decoder, Placed placed, FrameRead* read, std::string* problem) {
    Timeline& timeline = decoder->timeline;
    av_frame_unref(timeline.pending.get());
    if (placed == Placed::NoMemory) {
        *problem = "out of memory";
        *read = Finish(decoder, FrameRead::Failed, *problem);
        return true;
    }
    if (placed == Placed::PastStop) {
        // The source ends here for a trimmed output.
        timeline.sourceEnded = true;
        timeline.endOutcome = FrameRead::End;
    }
    return false;
}

// The frames end with READ (not Frame): its outcome is given once the
// frames before it are shown.
void EndSource(Timeline* timeline, FrameRead read, const std::string& problem) {
    timeline->sourceEnded = true;
    timeline->endOutcome = read;
    timeline->endProblem = read == FrameRead::End ? std::string() : problem;
}

// Puts the next frame of a timed plan into `pending`: the one decoded
// ahead, else the decoder's next.
FrameRead NextTimedFrame(VideoDecoder* decoder, std::string* problem) {
    Timeline& timeline = decoder->timeline;
    if (!timeline.heldValid) return DecodeNext(decoder, problem);
    std::swap(timeline.pending, timeline.held);
    timeline.heldValid = false;
    return FrameRead::Frame;
}

// The time of the frame after the one in `pending`, decoded ahead into
// `held`, when the pending frame's time is far from the last one's: its
// neighbours tell a pause or a jump from one frame mis-stamped
// (video_timed.cpp). AV_NOPTS_VALUE otherwise, or when the frames end
// there (their outcome kept for after the pending frame). False when a
// stop request came.
bool LookAhead(VideoDecoder* decoder, int64_t* next) {
    Timeline& timeline = decoder->timeline;
    *next = AV_NOPTS_VALUE;
    const int64_t ticks = AfterFirst(decoder, TicksOf(timeline.pending.get()));
    if (timeline.sourceEnded || !TimeJumps(decoder->timed, decoder->demux.plan, ticks)) return true;
    std::string problem;
    std::swap(timeline.pending, timeline.held);
    const FrameRead ahead = DecodeNext(decoder, &problem);
    std::swap(timeline.pending, timeline.held);
    if (ahead == FrameRead::Interrupted) return false;
    if (ahead != FrameRead::Frame) {
        EndSource(&timeline, ahead, problem);
        return true;
    }
    timeline.heldValid = true;
    *next = TicksOf(timeline.held.get());
    return true;
}

// A timed plan's frames: each one the decoder gives, once, as it comes
// (one more decoded ahead where its time jumps).
FrameRead ReadTimedFrame(VideoDecoder* decoder, uint8_t* pixels, std::string* problem) {
    Timeline& timeline = decoder->timeline;
    for (;;) {
        if (timeline.sourceEnded && !timeline.heldValid) return FinishSource(decoder, problem);
        FrameRead read = NextTimedFrame(decoder, problem);
        int64_t next = AV_NOPTS_VALUE;
        if (read == FrameRead::Frame && !LookAhead(decoder, &next)) {
            av_frame_unref(timeline.pending.get());
            read = FrameRead::Interrupted;
        }
        if (read == FrameRead::Interrupted) {
            problem->clear();  // not final: the stop request ends the job anyway
            return read;
        }
        if (read != FrameRead::Frame) {
            EndSource(&timeline, read, *problem);
            continue;
        }
        const Placed placed = PlacePending(decoder, next);
        if (placed != Placed::Shown) {
            if (PassOver(decoder, placed, &read, problem)) return read;
            continue;
        }
        const bool converted = ConvertFrame(&decoder->scaler, decoder->demux.plan, timeline.pending.get(), pixels);
        av_frame_unref(timeline.pending.get());
        if (!converted) {
            *problem = FrameName(timeline.delivered) + " cannot be converted to BGR";
            return Finish(decoder, FrameRead::Failed, *problem);
        }
        ++timeline.delivered;
        return FrameRead::Frame;
    }
}

}  // namespace

FrameRead ReadVideoFrame(VideoDecoder* decoder, uint8_t* pixels, std::string* problem) {
    Timeline& timeline = decoder->timeline;
    if (timeline.finished) {
        *problem = timeline.problem;
        return timeline.outcome;
    }
    if (decoder->demux.plan.timed) return ReadTimedFrame(decoder, pixels, problem);
    for (;;) {
        if (decoder->demux.plan.frameCount >= 0 && timeline.delivered >= decoder->demux.plan.frameCount) {
            const FrameRead outcome = CleanEnd(decoder, problem);
            return Finish(decoder, outcome, *problem);
        }
        const int64_t heldUntil = timeline.pendingValid ? timeline.pendingStart
                                  : timeline.sourceEnded ? EndIndex(decoder) : -1;
        if (timeline.heldValid && timeline.delivered < heldUntil) {
            if (!ConvertFrame(&decoder->scaler, decoder->demux.plan, timeline.held.get(), pixels)) {
                *problem = FrameName(timeline.delivered) + " cannot be converted to BGR";
                return Finish(decoder, FrameRead::Failed, *problem);
            }
            ++timeline.delivered;
            return FrameRead::Frame;
        }
        if (timeline.pendingValid) {
            av_frame_unref(timeline.held.get());
            av_frame_move_ref(timeline.held.get(), timeline.pending.get());
            timeline.heldValid = true;
            timeline.pendingValid = false;
            continue;
        }
        if (timeline.sourceEnded) return FinishSource(decoder, problem);
        const FrameRead read = DecodeNext(decoder, problem);
        if (read == FrameRead::Frame) {
            const Placed placed = PlacePending(decoder, AV_NOPTS_VALUE);
            timeline.pendingValid = placed == Placed::Shown;
            FrameRead ended = read;
            if (placed != Placed::Shown && PassOver(decoder, placed, &ended, problem)) return ended;
        } else if (read == FrameRead::Interrupted) {
            // Not final: the stop request ends the job anyway.
            problem->clear();
            return read;
        } else {
            // The frame on screen is sound; it is shown before the outcome.
            timeline.sourceEnded = true;
            timeline.endOutcome = read;
            timeline.endProblem = read == FrameRead::End ? std::string() : *problem;
        }
    }
}

void VideoFrameTime(const VideoDecoder* decoder, int64_t* time, int64_t* duration, int64_t* mended) {
    *time = decoder->timed.time;
    *duration = decoder->timed.duration;
    *mended = decoder->timed.mended + decoder->restarts.mended;
}
