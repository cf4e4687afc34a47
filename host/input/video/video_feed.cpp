// Feeding the decoder: packets read from the input go to libavcodec, and
// the frames it gives come out one at a time, as ffmpeg decodes them.
//
// Start: a seekable input starts at its first key frame, as the walk
// counted (a recording cut between key frames has nothing to decode before
// one). The first frame the decoder gives stands in for any before it, so a
// known count holds; frames earlier than the first key frame that fail for
// want of their references are not damage, a damaged key frame is. At the
// end, a cut-off input is Damaged, not a short clean end (video_walk.cpp).
//
// Damage: as plain ffmpeg decodes; an error is concealed where the decoder
// can and the frame shown; a packet the demuxer flags as corrupt is decoded
// all the same, and the input goes on after it. A decoding error is passed
// over: the frames that did not come are found by their times once the
// frames end (video_damage.cpp).
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
    AddPacket(&timeline.span, packet);
    const bool key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
    if (timeline.waitForKey && !key) {
        av_packet_unref(packet);  // as the walk did: nothing to decode before a key frame
        return false;
    }
    timeline.waitForKey = false;
    // Packets marked for discarding (before an edit list's start) are
    // decoded for their references; the decoder drops their frames. A
    // packet flagged as corrupt is decoded too, as ffmpeg decodes it: the
    // decoder mends what it can, and the damage log names its frame.
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
    const Demuxing& demux = decoder->demux;
    if (TimesRestart(demux.format.get()) &&
        !MendRestart(&decoder->restarts, timeline.packet.get(), demux.format->streams[demux.streamIndex]->time_base,
                     demux.nominalRate)) {
        av_packet_unref(timeline.packet.get());
        *problem = "out of memory";
        *read = FrameRead::Failed;
        return true;
    }
    return SendPacket(decoder, read, problem);
}


}  // namespace

// Decodes the next source frame into `pending`.
FrameRead DecodeNext(VideoDecoder* decoder, std::string* problem) {
    FrameRead read = FrameRead::Frame;
    for (;;) {
        if (ReceiveFrame(decoder, &read, problem)) return read;
        if (FeedPacket(decoder, &read, problem)) return read;
    }
}

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
