// Decoding and delivering frames: packets go to libavcodec, each decoded
// frame is placed on the output's timeline, and each output frame shows
// the source frame placed there (host/input/frame_timing.h): a
// source frame is shown from its first output index until the next frame's;
// without resampling that index is its place among the packets' times (not
// the order frames come out in, which frame threads do not keep in step).
//
// Start: a seekable input starts at its first key frame, as the walk
// counted (a recording cut between key frames has nothing to decode before
// one). The first frame the decoder gives stands in for any before it, so a
// known count holds; frames earlier than the first key frame that fail for
// want of their references are not damage, a damaged key frame is. At the
// end, a cut-off input is Damaged, not a short clean end (video_walk.cpp).
//
// Damage: as plain ffmpeg decodes; an error is concealed where the decoder
// can and the frame shown. A frame the decoder does not give is skipped and
// the frame before it stays on screen for its time, so the clip keeps its
// length and the frames after the damage. The skipped frames are found by
// their times, counted and named in one line once the frames end
// (video_damage.cpp), and the outcome is then Damaged.
#include <algorithm>

extern "C" {
#include <libavutil/cpu.h>
}

#include "host/input/video/video_decoder_state.h"
#include "platform/stop_signal_thread.h"

namespace {

// Stops feeding the decoder: the frames of the packets it already has
// still come out, then DAMAGE (if any) is the outcome instead of the end.
void StartDraining(VideoDecoder* decoder, const std::string& damage) {
    Timeline& timeline = decoder->timeline;
    timeline.draining = true;
    timeline.drainReason = damage;
    avcodec_send_packet(timeline.codec.get(), nullptr);
}

// The outcome of an input whose frames all came: End, or Damaged when the
// walk found it cut or frames were skipped.
FrameRead CleanEnd(const VideoDecoder* decoder, std::string* problem) {
    *problem = decoder->demux.walkProblem;
    const std::string damage = DamageSummary(decoder);
    if (!damage.empty()) *problem += (problem->empty() ? "" : "; ") + damage;
    return problem->empty() ? FrameRead::End : FrameRead::Damaged;
}

// The outcome once the decoder has given its last frame.
FrameRead EndOfFrames(const VideoDecoder* decoder, std::string* problem) {
    const Timeline& timeline = decoder->timeline;
    if (timeline.decoded == 0 && decoder->damage.sentShown > 0 && timeline.drainReason.empty()) {
        const std::string why = timeline.lastError != 0 ? " (" + ErrorText(timeline.lastError) + ")" : std::string();
        *problem = "no frame of its video stream can be decoded" + why;
        return FrameRead::Damaged;
    }
    if (timeline.drainReason.empty()) return FrameRead::End;
    *problem = timeline.drainReason;
    return FrameRead::Damaged;
}

// Takes the next frame the decoder holds into `pending`. True with the
// outcome in READ; false when the decoder needs another packet first. A
// decoding error is passed over, as ffmpeg passes it over: the frames that
// did not come are found by their times at the end (video_damage.cpp).
bool ReceiveFrame(VideoDecoder* decoder, FrameRead* read, std::string* problem) {
    Timeline& timeline = decoder->timeline;
    for (;;) {
        const int result = avcodec_receive_frame(timeline.codec.get(), timeline.pending.get());
        if (result == 0) {
            ++timeline.decoded;
            *read = FrameRead::Frame;
            return true;
        }
        if (result == AVERROR_EOF || (result == AVERROR(EAGAIN) && timeline.draining)) {
            *read = EndOfFrames(decoder, problem);
            return true;
        }
        if (result == AVERROR(EAGAIN)) return false;
        if (result == AVERROR(ENOMEM)) {
            *problem = "out of memory";
            *read = FrameRead::Failed;
            return true;
        }
        timeline.lastError = result;
    }
}

// Gives the video packet in `packet` to the decoder (and unreferences it).
// True with the outcome in READ when decoding cannot go on.
bool SendPacket(VideoDecoder* decoder, FrameRead* read, std::string* problem) {
    Timeline& timeline = decoder->timeline;
    AVPacket* packet = timeline.packet.get();
    const bool corrupt = (packet->flags & AV_PKT_FLAG_CORRUPT) != 0;
    if (!corrupt) AddPacket(&timeline.span, packet);
    const bool key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
    if (timeline.waitForKey && !key) {
        av_packet_unref(packet);  // as the walk did: nothing to decode before a key frame
        return false;
    }
    timeline.waitForKey = false;
    if (corrupt) {
        av_packet_unref(packet);
        StartDraining(decoder, FrameName(timeline.sent) + " is cut off or corrupt");
        return false;
    }
    // Packets marked for discarding (before an edit list's start) are
    // decoded for their references; the decoder drops their frames.
    const int result =
        NoteSent(&decoder->damage, packet) ? avcodec_send_packet(timeline.codec.get(), packet) : AVERROR(ENOMEM);
    av_packet_unref(packet);
    if (result == AVERROR(ENOMEM)) {
        *problem = "out of memory";
        *read = FrameRead::Failed;
        return true;
    }
    if (result < 0 && result != AVERROR(EAGAIN)) timeline.lastError = result;
    ++timeline.sent;
    return false;
}

// Reads the next packet and gives it to the decoder, or starts draining at
// the input's end. True with the outcome in READ when decoding cannot go on.
bool FeedPacket(VideoDecoder* decoder, FrameRead* read, std::string* problem) {
    Timeline& timeline = decoder->timeline;
    const int result = av_read_frame(decoder->demux.format.get(), timeline.packet.get());
    if (result == AVERROR_EOF) {
        const Demuxing& demux = decoder->demux;
        StartDraining(decoder, CutShort(demux.format.get(), demux.format->streams[demux.streamIndex], timeline.span,
                                        demux.nominalRate));
        return false;
    }
    if (result == AVERROR_EXIT) {
        *read = FrameRead::Interrupted;
        return true;
    }
    if (result == AVERROR(ENOMEM) || result == AVERROR(EIO)) {
        *problem = ReadFailure(timeline.sent, result);
        *read = FrameRead::Failed;
        return true;
    }
    if (result < 0) {
        StartDraining(decoder, ReadFailure(timeline.sent, result));
        return false;
    }
    if (timeline.packet->stream_index != decoder->demux.streamIndex) {
        av_packet_unref(timeline.packet.get());
        return false;
    }
    return SendPacket(decoder, read, problem);
}

// Decodes the next source frame into `pending`.
FrameRead DecodeNext(VideoDecoder* decoder, std::string* problem) {
    FrameRead read = FrameRead::Frame;
    for (;;) {
        if (ReceiveFrame(decoder, &read, problem)) return read;
        if (FeedPacket(decoder, &read, problem)) return read;
    }
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

// Places a timed frame at TICKS (the stream's own, AV_NOPTS_VALUE unknown).
Placed PlaceTimed(VideoDecoder* decoder, int64_t ticks) {
    const Demuxing& demux = decoder->demux;
    const bool restarts = (demux.format->iformat->flags & AVFMT_TS_DISCONT) != 0;
    const int64_t after = ticks == AV_NOPTS_VALUE ? ticks : ticks - decoder->timeline.firstTicks;
    const TimedPlace place =
        TimeFrame(&decoder->timed, demux.plan, restarts, after, FrameDuration(decoder->timeline.pending.get()));
    if (place == TimedPlace::Early) return Placed::Early;
    return place == TimedPlace::PastStop ? Placed::PastStop : Placed::Shown;
}

// Takes the decoded frame in `pending`: its time after the first frame
// (and the start), its first output index, and how far the frames decoded
// so far reach. A frame whose time is not after the last one's (the
// decoder gives a lost key frame's leading frames late) is passed over, as
// ffmpeg passes it over, and counts as lost.
Placed PlacePending(VideoDecoder* decoder) {
    Timeline& timeline = decoder->timeline;
    const VideoPlan& plan = decoder->demux.plan;
    const AVFrame* frame = timeline.pending.get();
    // The packet's own time, which the frame carries through the threads;
    // libavcodec's best guess where the packets have none (AVI), not over
    // it: the guess takes decoding times once times run backwards (after a
    // lost key frame), and would then match no packet.
    const int64_t ticks = frame->pts != AV_NOPTS_VALUE ? frame->pts : frame->best_effort_timestamp;
    const std::vector<int64_t>& shown = decoder->damage.shownTimes;
    // Timed, a time far behind is the timing's damage, mended where it is placed.
    const bool backJump = plan.timed && !shown.empty() && shown.back() - ticks > JumpTicks(plan);
    if (ticks != AV_NOPTS_VALUE && !shown.empty() && ticks <= shown.back() && !backJump) return Placed::Late;
    if (!NoteShown(&decoder->damage, ticks)) return Placed::NoMemory;
    if (timeline.firstTicks == AV_NOPTS_VALUE) timeline.firstTicks = FirstOfPipe(decoder, ticks);
    if (plan.timed) return PlaceTimed(decoder, ticks);
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

// A timed plan's frames: each one the decoder gives, once, as it comes.
FrameRead ReadTimedFrame(VideoDecoder* decoder, uint8_t* pixels, std::string* problem) {
    Timeline& timeline = decoder->timeline;
    for (;;) {
        if (timeline.sourceEnded) return FinishSource(decoder, problem);
        FrameRead read = DecodeNext(decoder, problem);
        if (read == FrameRead::Interrupted) {
            problem->clear();  // not final: the stop request ends the job anyway
            return read;
        }
        if (read != FrameRead::Frame) {
            timeline.sourceEnded = true;
            timeline.endOutcome = read;
            timeline.endProblem = read == FrameRead::End ? std::string() : *problem;
            continue;
        }
        const Placed placed = PlacePending(decoder);
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

std::string OpenDecoding(Timeline* timeline, const AVCodec* codec, const AVStream* stream) {
    timeline->codec.reset(avcodec_alloc_context3(codec));
    timeline->packet.reset(av_packet_alloc());
    timeline->pending.reset(av_frame_alloc());
    timeline->held.reset(av_frame_alloc());
    if (timeline->codec == nullptr || timeline->packet == nullptr || timeline->pending == nullptr ||
        timeline->held == nullptr) {
        return "out of memory";
    }
    AVCodecContext* context = timeline->codec.get();
    int result = avcodec_parameters_to_context(context, stream->codecpar);
    if (result >= 0) {
        context->pkt_timebase = stream->time_base;
        // As ffmpeg decodes: small errors concealed, frames on every core
        // (frame threads, which rozove's reading thread runs beside the
        // module's). A frame the decoder does not give is found by its time
        // (video_damage.cpp), whatever order the threads finish in. One
        // thread a core, not ffmpeg's one more: the module's thread wants
        // a core too.
        context->thread_count = std::max(1, av_cpu_count());
        context->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        // A header may claim any size; frames past 16384 x 16384 are
        // refused before they are allocated.
        context->max_pixels = int64_t(1) << 28;
        // The frame threads start here and inherit this thread's hold: a
        // stop signal must land on the thread that reads the input
        // (platform/stop_signal_thread.h), never on one of them, where it
        // could not wake that thread's blocked read.
        const bool held = HoldStopSignals(true);
        result = avcodec_open2(context, codec, nullptr);
        HoldStopSignals(held);
    }
    if (result >= 0) return std::string();
    return std::string("its video stream (") + avcodec_get_name(stream->codecpar->codec_id) +
           ") cannot be decoded: " + ErrorText(result);
}

void StartTimeline(Timeline* timeline, int64_t firstTicks, bool waitForKey) {
    timeline->firstTicks = firstTicks;
    timeline->waitForKey = waitForKey;
}

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
            const Placed placed = PlacePending(decoder);
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
    *mended = decoder->timed.mended;
}
