// The decoder's own record and what its stages hand each other; private to
// host/input/video/. One frame goes through the files in this order:
// video_open.cpp opens the container and the stream; video_walk.cpp
// demuxes a seekable input once to count and time its packets and tells a
// cut-off input by what it declares; video_plan.cpp decides size, rate and
// count from plain numbers; video_decode.cpp (video_timed.cpp for frames
// at their own times) decodes and places each frame on the
// output's timeline, video_damage.cpp tells by their times the frames the
// decoder did not give; video_convert.cpp scales it into the host frame.
//
// The record is split the same way: each part below is changed by the one
// file named on it and only read by the others, and each of the libraries'
// objects has an owner that releases it, so that closing is deleting.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libswscale/swscale.h>
}

#include "host/common/frame_read.h"
#include "host/input/video/video_decoder.h"
#include "host/input/video/video_plan.h"

// What the video packets read so far cover, in the stream's ticks and in
// the input's bytes.
struct PacketSpan {
    int64_t stored = 0;           // packets, with those marked for discarding
    int64_t count = 0;            // packets whose frames are shown
    int64_t first = INT64_MAX;    // the earliest time
    int64_t end = INT64_MIN;      // the latest time plus its duration
    int64_t lastDuration = 0;
    int64_t bytesEnd = -1;        // where the last packet's data ends
};

// What the walk of a seekable input found.
struct Walk {
    bool walked = false;
    bool sawKey = false;
    int64_t packets = 0;
    int64_t end = -1;   // ticks after the first frame where the last one ends
    bool variable = false;
    int64_t first = AV_NOPTS_VALUE;  // the first frame's time, in ticks
    int64_t last = -1;  // ticks after the first frame where the last one starts
    std::string problem;
    int interruptedOrFailed = 0;  // an error code that must fail the open
};

// The libraries' objects, each released by its owner.
struct FormatCloser {
    void operator()(AVFormatContext* format) const { avformat_close_input(&format); }
};
struct CodecCloser {
    void operator()(AVCodecContext* codec) const { avcodec_free_context(&codec); }
};
struct PacketCloser {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameCloser {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct ScalerCloser {
    void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};
struct BytesCloser {
    void operator()(uint8_t* bytes) const { av_free(bytes); }
};
using FormatOwner = std::unique_ptr<AVFormatContext, FormatCloser>;
using CodecOwner = std::unique_ptr<AVCodecContext, CodecCloser>;
using PacketOwner = std::unique_ptr<AVPacket, PacketCloser>;
using FrameOwner = std::unique_ptr<AVFrame, FrameCloser>;

// Demuxing: the container, its video stream and the plan, set by
// video_open.cpp at open and only read after it.
struct Demuxing {
    FormatOwner format;
    int streamIndex = -1;
    AVRational nominalRate = {0, 1};  // the stream's own rate
    VideoPlan plan;                   // size, rate and count delivered
    std::string walkProblem;          // what stopped the walk before a clean end
};

// The timeline (video_decode.cpp): the decoder, the frames it gave, where
// each is placed on the output's timeline, and how the source ended.
struct Timeline {
    CodecOwner codec;
    PacketOwner packet;
    FrameOwner pending;               // the source frame decoded last, not yet shown
    FrameOwner held;                  // the source frame being shown
    int64_t firstTicks = AV_NOPTS_VALUE;
    int64_t lastEnd = 0;              // ticks after the first frame where the frames decoded so far end
    int64_t decoded = 0;              // source frames decoded
    int64_t delivered = 0;            // output frames delivered
    int64_t pendingStart = 0;         // first output index of `pending`
    int64_t lastStart = -1;           // the first output index of the latest frame placed
    bool heldValid = false;
    bool pendingValid = false;
    bool sourceEnded = false;
    FrameRead endOutcome = FrameRead::End;  // how the source ended, given once its frames are shown
    std::string endProblem;
    bool draining = false;
    std::string drainReason;          // why the decoder is drained before the input ends
    int64_t sent = 0;                 // packets given to the decoder
    PacketSpan span;                  // what the video packets read cover
    bool waitForKey = false;          // packets before the first key frame are skipped, as the walk did
    int lastError = 0;                // the decoder's latest error, for the message
    // Once the frames end, the outcome every later call repeats.
    bool finished = false;
    FrameRead outcome = FrameRead::End;
    std::string problem;
};

// The damage log (video_damage.cpp). The decoder's frames are told apart by
// their times, not by the order they come out in (frame threads finish them
// late and out of step with the packets), so that a frame it does not give
// is named by its place.
struct DamageLog {
    std::vector<int64_t> sentTimes;   // in increasing order: the shown packets given to the decoder
    std::vector<int64_t> shownTimes;  // in increasing order: the frames it gave
    int64_t keyTime = AV_NOPTS_VALUE; // the first key packet's
    int64_t sentShown = 0;            // the shown packets given to the decoder
    bool untimed = false;             // a packet without a presentation time was given (AVI)
};

// Frames at their own times (video_timed.cpp): the latest frame's time,
// as it is delivered, and the mending of a stream whose times restart.
struct TimedFrames {
    int64_t lastTicks = AV_NOPTS_VALUE;  // the latest frame's, mended, ticks after the start
    int64_t shift = 0;                   // ticks taken off every time since a restart was closed up
    int64_t mended = 0;                  // restarts closed up
    int64_t time = 0;                    // the latest frame's, microseconds after the start
    int64_t duration = 0;                // microseconds, 0 when unknown
};

// The scaler (video_convert.cpp) and the source layout it was set up for.
struct Scaler {
    std::unique_ptr<SwsContext, ScalerCloser> context;
    std::unique_ptr<uint8_t, BytesCloser> staging;  // the scaler's output, top-down
    int stagingStride = 0;
    int width = 0;
    int height = 0;
    int format = -1;
    int space = -1;
    int range = -1;
};

// Each part is changed by its own file alone; the others read it.
struct VideoDecoder {
    Demuxing demux;
    Timeline timeline;
    DamageLog damage;
    TimedFrames timed;
    Scaler scaler;
};

// The libraries' text for an error CODE.
inline std::string ErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// video_walk.cpp: packets and what they cover.
// Why reading stopped after COUNT good frames.
std::string ReadFailure(int64_t count, int code);
void AddPacket(PacketSpan* span, const AVPacket* packet);
// Demuxes a seekable input once, decoding nothing (see video_walk.cpp).
Walk WalkStream(AVFormatContext* format, int streamIndex, AVRational nominalRate);
// At a clean end of the input, why it was cut short, or "" when it was not.
std::string CutShort(AVFormatContext* format, const AVStream* stream, const PacketSpan& span, AVRational rate);

// video_damage.cpp: the times of packets sent and frames given, and the
// frames the decoder did not give.
// Notes PACKET, about to be given to the decoder; false without memory.
bool NoteSent(DamageLog* log, const AVPacket* packet);
// Notes a frame given at TICKS; false without memory.
bool NoteShown(DamageLog* log, int64_t ticks);
// Where the first frame's time is counted from on an input that was not walked.
int64_t FirstOfPipe(const VideoDecoder* decoder, int64_t ticks);
// One for one: the output index of the source frame at TICKS.
int64_t PlaceOneForOne(const VideoDecoder* decoder, int64_t ticks);
// One for one: the output frames the packets sent so far fill.
int64_t SentFrames(const VideoDecoder* decoder);
// The frames the decoder did not give, in one line; "" when there were none.
std::string DamageSummary(const VideoDecoder* decoder);


// video_decode.cpp: the decoder for STREAM, with room for a packet and two
// frames: "" or why it cannot be opened.
std::string OpenDecoding(Timeline* timeline, const AVCodec* codec, const AVStream* stream);
// Where frames are timed from (the walked first frame's time, or
// AV_NOPTS_VALUE for a pipe, timed from its first frames) and whether
// packets before the next key frame are skipped.
void StartTimeline(Timeline* timeline, int64_t firstTicks, bool waitForKey);

// video_timed.cpp: where a timed frame at TICKS (after the first frame;
// AV_NOPTS_VALUE when unknown) lasting DURATION ticks (0: unknown) falls:
// before a trimmed output's start (passed over), on it (its time in
// TIMED), or at or past its stop. RESTARTS: the format's timestamps may
// start again (MPEG-TS and the others FFmpeg marks so).
enum class TimedPlace { Early, Shown, PastStop };
TimedPlace TimeFrame(TimedFrames* timed, const VideoPlan& plan, bool restarts, int64_t ticks, int64_t duration);
// How far a timed stream's times jump before the jump is damage, in ticks.
int64_t JumpTicks(const VideoPlan& plan);

// video_convert.cpp: FRAME into the host frame at PIXELS as PLAN lays it
// out; false when the scaler cannot be set up or fails.
bool ConvertFrame(Scaler* scaler, const VideoPlan& plan, const AVFrame* frame, uint8_t* pixels);
