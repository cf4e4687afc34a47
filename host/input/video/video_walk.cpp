// The demux-only walk of a seekable input and what packets say about the
// input's end. A container's own frame count is missing (Matroska, WebM) or
// differs from what is shown (edit lists), so a seekable input is read once
// at open time, decoding nothing, to count and time its video packets. The
// demuxers end quietly at a cut, so both the walk and the decoder, at a
// clean end, check what was read against what the input declares.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <vector>

extern "C" {
#include <libavutil/parseutils.h>
}

#include "host/input/video/video_decoder_state.h"

namespace {

// One frame at RATE in ticks of BASE, 0 when the rate is unknown.
double FrameTicks(AVRational rate, AVRational base) {
    if (rate.num <= 0 || rate.den <= 0 || base.num <= 0 || base.den <= 0) return 0;
    return (double(rate.den) * base.den) / (double(rate.num) * base.num);
}

// Ticks from the first frame to the end of the last; a last packet without
// a duration lasts a frame at the nominal rate. -1 without timestamps.
int64_t SpanLength(const PacketSpan& span, double frameTicks) {
    if (span.first == INT64_MAX) return -1;
    int64_t end = span.end;
    if (span.lastDuration <= 0) end += std::llround(frameTicks);
    return end - span.first;
}

// The video stream's length as its container declares it, in microseconds,
// or 0: the stream's own duration (MP4, MOV) or the DURATION tag that
// Matroska writers put on each track.
int64_t DeclaredMicroseconds(const AVFormatContext* format, const AVStream* stream) {
    // A length the libraries estimated (from timestamps or the bit rate) is no promise.
    if (stream->duration > 0 && format->duration_estimation_method == AVFMT_DURATION_FROM_STREAM) {
        return av_rescale_q(stream->duration, stream->time_base, AV_TIME_BASE_Q);
    }
    const AVDictionaryEntry* tag = av_dict_get(stream->metadata, "DURATION", nullptr, 0);
    int64_t microseconds = 0;
    if (tag != nullptr && av_parse_time(&microseconds, tag->value, 1) == 0 && microseconds > 0) return microseconds;
    return 0;
}

std::string Seconds(int64_t microseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", microseconds / 1e6);
    return text;
}

// Timestamps evenly spaced at INTERVAL ticks, allowing for their rounding
// to a tick and for a little jitter (5 % of a frame).
bool EvenlySpaced(const std::vector<int64_t>& times, double interval) {
    const double tolerance = std::max(1.0, interval / 20);
    for (size_t i = 1; i < times.size(); ++i) {
        if (std::fabs(static_cast<double>(times[i] - times[i - 1]) - interval) > tolerance) return false;
    }
    return true;
}

// What the walk gathers from the video packets as it reads them.
struct Gathered {
    std::vector<int64_t> times;  // of the packets shown
    size_t timesBeforeKey = 0;
    PacketSpan all;              // every packet, for what the container declares
    PacketSpan fromKey;          // from the first key frame on
};

// Takes one video packet into GATHERED; false, with WALK's problem or
// error set, when the walk stops at it.
bool TakePacket(const AVStream* stream, const AVPacket* packet, Gathered* gathered, Walk* walk) {
    if ((packet->flags & AV_PKT_FLAG_CORRUPT) != 0) {
        walk->problem = FrameName(gathered->fromKey.count) + " is cut off or corrupt";
        if (stream->nb_frames > gathered->all.stored) {
            walk->problem += " (the input holds " + std::to_string(gathered->all.stored) + " of the " +
                             std::to_string(stream->nb_frames) + " frames its header lists)";
        }
        return false;
    }
    if (!walk->sawKey && (packet->flags & AV_PKT_FLAG_KEY) != 0) {
        walk->sawKey = true;
        gathered->timesBeforeKey = gathered->times.size();
    }
    const bool shown = (packet->flags & AV_PKT_FLAG_DISCARD) == 0;
    if (shown && (packet->pts != AV_NOPTS_VALUE || packet->dts != AV_NOPTS_VALUE)) {
        try {
            gathered->times.push_back(packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts);
        } catch (const std::bad_alloc&) {
            walk->interruptedOrFailed = AVERROR(ENOMEM);
            return false;
        }
    }
    AddPacket(&gathered->all, packet);
    if (walk->sawKey) AddPacket(&gathered->fromKey, packet);
    return true;
}

// Reads every packet into GATHERED; true at a clean end of the input.
bool ReadAll(AVFormatContext* format, int streamIndex, AVPacket* packet, Gathered* gathered, Walk* walk) {
    for (;;) {
        const int result = av_read_frame(format, packet);
        if (result == AVERROR_EOF) return true;
        if (result == AVERROR_EXIT || result == AVERROR(ENOMEM)) {
            walk->interruptedOrFailed = result;
            return false;
        }
        if (result < 0) {
            walk->problem = ReadFailure(gathered->fromKey.count, result);
            return false;
        }
        const bool more = packet->stream_index != streamIndex ||
                          TakePacket(format->streams[streamIndex], packet, gathered, walk);
        av_packet_unref(packet);
        if (!more) return false;
    }
}

}  // namespace

std::string ReadFailure(int64_t count, int code) {
    const std::string where = count > 0 ? " after " + FrameName(count - 1) : std::string();
    return "the input cannot be read" + where + " (" + ErrorText(code) + ")";
}

void AddPacket(PacketSpan* span, const AVPacket* packet) {
    ++span->stored;
    if ((packet->flags & AV_PKT_FLAG_DISCARD) != 0) return;
    ++span->count;
    const int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
    if (time != AV_NOPTS_VALUE) {
        span->first = std::min(span->first, time);
        span->end = std::max(span->end, time + std::max<int64_t>(packet->duration, 0));
        span->lastDuration = packet->duration;
    }
    if (packet->pos >= 0) span->bytesEnd = packet->pos + packet->size;
}

// The checks, in order: the frame count of the header (unless the frames'
// times span it), for Y4M (whose
// frames follow each other with nothing after them) a tail of a frame left
// over, and the video stream's declared length.
std::string CutShort(AVFormatContext* format, const AVStream* stream, const PacketSpan& span, AVRational rate) {
    const double frameTicks = FrameTicks(rate, stream->time_base);
    const int64_t length = SpanLength(span, frameTicks);
    // AVI counts the empty packets that stand for dropped frames, which the
    // demuxer skips: frames whose times reach the count are all there.
    const bool timesReachCount =
        frameTicks > 0 && length >= 0 && std::llround(double(length) / frameTicks) >= stream->nb_frames;
    if (stream->nb_frames > span.stored && !timesReachCount) {
        return "the input holds " + std::to_string(span.stored) + " of the " + std::to_string(stream->nb_frames) +
               " frames its header lists";
    }
    if (std::string(format->iformat->name) == "yuv4mpegpipe" && span.bytesEnd >= 0 &&
        avio_tell(format->pb) > span.bytesEnd) {
        return "the stream ends in the middle of " + FrameName(span.count);
    }
    const int64_t declared = DeclaredMicroseconds(format, stream);
    if (declared > 0 && length >= 0 && span.count > 0) {
        // Matroska's DURATION runs from time 0, not from the first frame:
        // a clip cut from a stream (-copyts, an output offset) starts late.
        // The frames reach the length declared either way.
        const int64_t reachedTicks = span.first > 0 ? length + span.first : length;
        const int64_t reached = av_rescale_q(reachedTicks, stream->time_base, AV_TIME_BASE_Q);
        // Half a frame of slack for rounding (20 ms when the rate is unknown).
        const int64_t slack =
            frameTicks > 0 ? av_rescale_q(std::llround(frameTicks / 2), stream->time_base, AV_TIME_BASE_Q) : 20000;
        if (reached + slack < declared) {
            return "the input ends after " + FrameName(span.count - 1) + ", at " + Seconds(reached) + " of the " +
                   Seconds(declared) + " its header gives";
        }
    }
    return std::string();
}

// The count of the video stream's packets that are shown (not marked for
// discarding, and from the first key frame on: a recording that starts
// between key frames has nothing to decode before one), the end of the
// last one, whether they are evenly spaced, and whether the input is cut
// short or damaged.
Walk WalkStream(AVFormatContext* format, int streamIndex, AVRational nominalRate) {
    Walk walk;
    walk.walked = true;
    AVStream* stream = format->streams[streamIndex];
    AVPacket* packet = av_packet_alloc();
    if (packet == nullptr) {
        walk.interruptedOrFailed = AVERROR(ENOMEM);
        return walk;
    }
    Gathered gathered;
    const bool clean = ReadAll(format, streamIndex, packet, &gathered, &walk);
    av_packet_free(&packet);
    // A stream whose packets carry no key flags is taken whole.
    if (!walk.sawKey) {
        gathered.fromKey = gathered.all;
        gathered.timesBeforeKey = 0;
    }
    walk.packets = gathered.fromKey.count;
    if (clean) walk.problem = CutShort(format, stream, gathered.all, nominalRate);
    const double interval = FrameTicks(nominalRate, stream->time_base);
    walk.end = SpanLength(gathered.fromKey, interval);
    std::vector<int64_t>& times = gathered.times;
    times.erase(times.begin(), times.begin() + static_cast<std::ptrdiff_t>(gathered.timesBeforeKey));
    std::sort(times.begin(), times.end());
    if (interval > 0) walk.variable = !EvenlySpaced(times, interval);
    if (!times.empty()) {
        walk.first = times.front();
        walk.last = times.back() - times.front();
    }
    return walk;
}
