// Video input through FFmpeg's libraries: the container is opened with
// libavformat, the best video stream decoded with libavcodec, and each
// frame converted by libswscale and laid into the bottom-up host frame.
// Frames are delivered by one rule (host/frame_timing.h): a source frame
// is shown from its first output index until the next frame's; without
// resampling that index is simply its position in the stream.
#include "host/input/video/video_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include "gif/gif_limits.h"
#include "host/input/frame_buffer.h"
#include "host/input/video/frame_timing.h"
#include "host/common/stop_signal.h"
#include "plugin/host_contract.h"

namespace {

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

}  // namespace

struct VideoDecoder {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    SwsContext* scaler = nullptr;
    uint8_t* staging = nullptr;       // the scaler's output, top-down
    int stagingStride = 0;
    AVPacket* packet = nullptr;
    AVFrame* pending = nullptr;  // the source frame decoded last, not yet shown
    AVFrame* held = nullptr;     // the source frame being shown
    int streamIndex = -1;
    TimeBase timeBase = {1, 1};
    int32_t width = 0;
    int32_t height = 0;
    bool resample = false;
    int32_t rate = 0;
    int32_t scale = 0;
    int64_t frameCount = -1;
    std::string walkProblem;          // what stopped the walk before a clean end
    int64_t firstTicks = AV_NOPTS_VALUE;
    int64_t lastEnd = 0;              // ticks after the first frame where the frames decoded so far end
    int64_t decoded = 0;              // source frames decoded
    int64_t delivered = 0;            // output frames delivered
    int64_t pendingStart = 0;         // first output index of `pending`
    bool heldValid = false;
    bool pendingValid = false;
    bool sourceEnded = false;
    FrameRead endOutcome = FrameRead::End;  // how the source ended, given once its frames are shown
    std::string endProblem;
    bool draining = false;
    std::string damage;               // why the decoder is drained before the input ends
    int64_t sent = 0;                 // packets given to the decoder
    PacketSpan span;                  // what the video packets read cover
    bool waitForKey = false;          // packets before the first key frame are skipped, as the walk did
    int64_t skippedLeading = 0;       // frames before the first one that could not be decoded
    int leadingError = 0;
    AVRational nominalRate = {0, 1};  // the stream's own rate
    // The source layout the scaler was set up for.
    int scalerWidth = 0;
    int scalerHeight = 0;
    int scalerFormat = -1;
    int scalerSpace = -1;
    int scalerRange = -1;
    // Once the frames end, the outcome every later call repeats.
    bool finished = false;
    FrameRead outcome = FrameRead::End;
    std::string problem;
};

namespace {

std::string ErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// Why reading stopped after COUNT good frames.
std::string ReadFailure(int64_t count, int code) {
    const std::string where = count > 0 ? " after " + FrameName(count - 1) : std::string();
    return "the input cannot be read" + where + " (" + ErrorText(code) + ")";
}

int OnInterruptCheck(void*) {
    return StopRequested() ? 1 : 0;
}

// Opens a container and reads its stream information. Only files and
// standard input are read: a playlist or a concatenation list inside the
// input cannot make us open a network address.
int OpenContainer(const std::string& url, AVFormatContext** format) {
    *format = avformat_alloc_context();
    if (*format == nullptr) return AVERROR(ENOMEM);
    (*format)->interrupt_callback.callback = OnInterruptCheck;
    (*format)->interrupt_callback.opaque = nullptr;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file,pipe", 0);
    int result = avformat_open_input(format, url.c_str(), nullptr, &options);  // frees *format on failure
    av_dict_free(&options);
    if (result >= 0) {
        result = avformat_find_stream_info(*format, nullptr);
        if (result < 0) avformat_close_input(format);
    }
    return result;
}

std::string OpenFailure(int code) {
    if (code == AVERROR_EXIT) return "interrupted";
    if (code == AVERROR_INVALIDDATA) return "not a video file the FFmpeg libraries can read, or its header is damaged";
    if (code == AVERROR(ENOMEM)) return "out of memory";
    if (code == AVERROR_EOF) return "the input ends before its first frame (empty or cut off)";
    if (code == AVERROR(ENOENT) || code == AVERROR(EACCES) || code == AVERROR(EISDIR)) return ErrorText(code);
    return "it cannot be read as video (" + ErrorText(code) + ")";
}

// The stream's own rate, as rate / scale that fit in 32 bits.
AVRational StreamRate(AVFormatContext* format, AVStream* stream) {
    AVRational rate = av_guess_frame_rate(format, stream, nullptr);
    if (rate.num <= 0 || rate.den <= 0) return AVRational{0, 1};
    av_reduce(&rate.num, &rate.den, rate.num, rate.den, INT32_MAX);
    return rate;
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
    if (stream->duration > 0 && format->duration_estimation_method == AVFMT_DURATION_FROM_STREAM) return av_rescale_q(stream->duration, stream->time_base, AV_TIME_BASE_Q);
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

// At a clean end of the input, whether it was cut short. The demuxers end
// quietly at a cut between or inside frames, so what the input declares is
// checked against what it held: the frame count of its header, the video
// stream's declared length, and for Y4M (whose frames follow each other
// with nothing after them) a tail of a frame left over.
std::string CutShort(AVFormatContext* format, const AVStream* stream, const PacketSpan& span, AVRational rate) {
    if (stream->nb_frames > span.stored) {
        return "the input holds " + std::to_string(span.stored) + " of the " + std::to_string(stream->nb_frames) +
               " frames its header lists";
    }
    if (std::string(format->iformat->name) == "yuv4mpegpipe" && span.bytesEnd >= 0 &&
        avio_tell(format->pb) > span.bytesEnd) {
        return "the stream ends in the middle of " + FrameName(span.count);
    }
    const int64_t declared = DeclaredMicroseconds(format, stream);
    const double frameTicks = FrameTicks(rate, stream->time_base);
    const int64_t length = SpanLength(span, frameTicks);
    if (declared > 0 && length >= 0 && span.count > 0) {
        const int64_t reached = av_rescale_q(length, stream->time_base, AV_TIME_BASE_Q);
        // Half a frame of slack for rounding (20 ms when the rate is unknown).
        const int64_t slack = frameTicks > 0 ? av_rescale_q(std::llround(frameTicks / 2), stream->time_base, AV_TIME_BASE_Q)
                                             : 20000;
        if (reached + slack < declared) {
            return "the input ends after " + FrameName(span.count - 1) + ", at " + Seconds(reached) + " of the " +
                   Seconds(declared) + " its header gives";
        }
    }
    return std::string();
}

struct Walk {
    bool walked = false;
    bool sawKey = false;
    int64_t packets = 0;
    int64_t end = -1;   // ticks after the first frame where the last one ends
    bool variable = false;
    std::string problem;
    int interruptedOrFailed = 0;  // an error code that must fail the open
};

// Timestamps evenly spaced at INTERVAL ticks, allowing for their rounding
// to a tick and for a little jitter (5 % of a frame).
bool EvenlySpaced(const std::vector<int64_t>& times, double interval) {
    const double tolerance = std::max(1.0, interval / 20);
    for (size_t i = 1; i < times.size(); ++i) {
        if (std::fabs(static_cast<double>(times[i] - times[i - 1]) - interval) > tolerance) return false;
    }
    return true;
}

// Demuxes a seekable input once, decoding nothing: the count of the video
// stream's packets that are shown (not marked for discarding, and from the
// first key frame on: a recording that starts between key frames has
// nothing to decode before one), the end of the last one, whether they are
// evenly spaced, and whether the input is cut short or damaged.
Walk WalkStream(AVFormatContext* format, int streamIndex, AVRational nominalRate) {
    Walk walk;
    walk.walked = true;
    AVStream* stream = format->streams[streamIndex];
    AVPacket* packet = av_packet_alloc();
    if (packet == nullptr) {
        walk.interruptedOrFailed = AVERROR(ENOMEM);
        return walk;
    }
    std::vector<int64_t> times;
    size_t timesBeforeKey = 0;
    PacketSpan all;      // every packet, for what the container declares
    PacketSpan fromKey;  // from the first key frame on
    bool clean = false;
    for (;;) {
        const int result = av_read_frame(format, packet);
        if (result == AVERROR_EOF) {
            clean = true;
            break;
        }
        if (result == AVERROR_EXIT || result == AVERROR(ENOMEM)) {
            walk.interruptedOrFailed = result;
            break;
        }
        if (result < 0) {
            walk.problem = ReadFailure(fromKey.count, result);
            break;
        }
        if (packet->stream_index == streamIndex) {
            if ((packet->flags & AV_PKT_FLAG_CORRUPT) != 0) {
                walk.problem = FrameName(fromKey.count) + " is cut off or corrupt";
                if (stream->nb_frames > all.stored) {
                    walk.problem += " (the input holds " + std::to_string(all.stored) + " of the " +
                                    std::to_string(stream->nb_frames) + " frames its header lists)";
                }
                av_packet_unref(packet);
                break;
            }
            if (!walk.sawKey && (packet->flags & AV_PKT_FLAG_KEY) != 0) {
                walk.sawKey = true;
                timesBeforeKey = times.size();
            }
            const bool shown = (packet->flags & AV_PKT_FLAG_DISCARD) == 0;
            if (shown && (packet->pts != AV_NOPTS_VALUE || packet->dts != AV_NOPTS_VALUE)) {
                try {
                    times.push_back(packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts);
                } catch (const std::bad_alloc&) {
                    walk.interruptedOrFailed = AVERROR(ENOMEM);
                    av_packet_unref(packet);
                    break;
                }
            }
            AddPacket(&all, packet);
            if (walk.sawKey) AddPacket(&fromKey, packet);
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    // A stream whose packets carry no key flags is taken whole.
    if (!walk.sawKey) {
        fromKey = all;
        timesBeforeKey = 0;
    }
    walk.packets = fromKey.count;
    if (clean) walk.problem = CutShort(format, stream, all, nominalRate);
    const double interval = FrameTicks(nominalRate, stream->time_base);
    walk.end = SpanLength(fromKey, interval);
    times.erase(times.begin(), times.begin() + static_cast<std::ptrdiff_t>(timesBeforeKey));
    std::sort(times.begin(), times.end());
    if (interval > 0) walk.variable = !EvenlySpaced(times, interval);
    return walk;
}

// The size frames are delivered at; see the header for the rules.
bool OutputSize(const AVCodecParameters* parameters, AVRational sampleAspect, const VideoOptions& options,
                int32_t* width, int32_t* height, std::string* reason) {
    int64_t w = options.width;
    int64_t h = options.height;
    if (parameters->width <= 0 || parameters->height <= 0) {
        *reason = "the video stream gives no frame size";
        return false;
    }
    if (sampleAspect.num <= 0 || sampleAspect.den <= 0) sampleAspect = AVRational{1, 1};
    const double displayWidth = double(parameters->width) * sampleAspect.num / sampleAspect.den;
    if (w == 0 && h == 0) {
        w = parameters->width;
        h = parameters->height;
    } else if (h == 0) {
        h = std::max<int64_t>(1, std::llround(double(w) * parameters->height / displayWidth));
    } else if (w == 0) {
        w = std::max<int64_t>(1, std::llround(double(h) * displayWidth / parameters->height));
    }
    if (w > gif_limits::kMaxSide || h > gif_limits::kMaxSide ||
        FrameBytes(static_cast<int32_t>(w), static_cast<int32_t>(h)) == 0) {
        *reason = "frames of " + std::to_string(w) + "x" + std::to_string(h) +
                  " are too large (at most 65535 a side and 1 GiB each)";
        return false;
    }
    *width = static_cast<int32_t>(w);
    *height = static_cast<int32_t>(h);
    return true;
}

std::string Describe(const AVCodecParameters* parameters, AVRational rate) {
    const char* pixels = av_get_pix_fmt_name(static_cast<AVPixelFormat>(parameters->format));
    return std::string(avcodec_get_name(parameters->codec_id)) + " " + std::to_string(parameters->width) + "x" +
           std::to_string(parameters->height) + " " + (pixels != nullptr ? pixels : "unknown") + ", " +
           std::to_string(rate.num) + "/" + std::to_string(rate.den) + " fps";
}

// The matrix for the scaler's tables. Unnamed: BT.709 for HD, BT.601 below.
int ScalerColourSpace(AVColorSpace space, int width, int height) {
    switch (space) {
        case AVCOL_SPC_BT709: return SWS_CS_ITU709;
        case AVCOL_SPC_FCC: return SWS_CS_FCC;
        case AVCOL_SPC_BT470BG:
        case AVCOL_SPC_SMPTE170M: return SWS_CS_ITU601;
        case AVCOL_SPC_SMPTE240M: return SWS_CS_SMPTE240M;
        // Constant luminance is not a matrix; its non-constant twin is near.
        case AVCOL_SPC_BT2020_NCL:
        case AVCOL_SPC_BT2020_CL: return SWS_CS_BT2020;
        default: return width > 1024 || height > 576 ? SWS_CS_ITU709 : SWS_CS_ITU601;
    }
}

bool IsJpegFormat(AVPixelFormat format) {
    return format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P || format == AV_PIX_FMT_YUVJ444P ||
           format == AV_PIX_FMT_YUVJ440P || format == AV_PIX_FMT_YUVJ411P;
}

// Converts FRAME into the host frame at PIXELS, setting the scaler up again
// when the source layout changes (a stream may change size midway).
bool ConvertFrame(VideoDecoder* decoder, const AVFrame* frame, uint8_t* pixels) {
    const AVPixelFormat format = static_cast<AVPixelFormat>(frame->format);
    const int range = frame->color_range == AVCOL_RANGE_JPEG ||
                              (frame->color_range != AVCOL_RANGE_MPEG && IsJpegFormat(format))
                          ? 1 : 0;
    const int space = ScalerColourSpace(frame->colorspace, frame->width, frame->height);
    if (decoder->scaler == nullptr || frame->width != decoder->scalerWidth || frame->height != decoder->scalerHeight ||
        format != decoder->scalerFormat || space != decoder->scalerSpace || range != decoder->scalerRange) {
        sws_freeContext(decoder->scaler);
        // Chroma interpolated to every pixel; SWS_ACCURATE_RND would gain
        // under one level in 255 at four times the cost (720p: 5 ms a frame
        // against 20).
        decoder->scaler = sws_getContext(frame->width, frame->height, format, decoder->width, decoder->height,
                                         AV_PIX_FMT_BGR24, SWS_BICUBIC | SWS_FULL_CHR_H_INT,
                                         nullptr, nullptr, nullptr);
        if (decoder->scaler == nullptr) return false;
        const AVPixFmtDescriptor* description = av_pix_fmt_desc_get(format);
        // RGB sources carry no matrix; the output is full-range RGB.
        if (description != nullptr && (description->flags & AV_PIX_FMT_FLAG_RGB) == 0) {
            sws_setColorspaceDetails(decoder->scaler, sws_getCoefficients(space), range,
                                     sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
        }
        decoder->scalerWidth = frame->width;
        decoder->scalerHeight = frame->height;
        decoder->scalerFormat = format;
        decoder->scalerSpace = space;
        decoder->scalerRange = range;
    }
    // The scaler writes into a staging frame with room to spare at the end
    // of each row: its vector converters work in blocks of pixels and skip
    // a row's last few pixels (up to 15) when the row's stride leaves no
    // room for a whole block, as the host frame's tight rows do. The rows
    // are then copied bottom-up into the host frame, padding untouched.
    const size_t rowBytes = 3 * static_cast<size_t>(decoder->width);
    if (decoder->staging == nullptr) {
        decoder->stagingStride = static_cast<int>(((rowBytes + 3 * 32) + 63) / 64 * 64);
        decoder->staging = static_cast<uint8_t*>(av_malloc(static_cast<size_t>(decoder->stagingStride) * decoder->height));
        if (decoder->staging == nullptr) return false;
    }
    uint8_t* rows[4] = {decoder->staging, nullptr, nullptr, nullptr};
    const int strides[4] = {decoder->stagingStride, 0, 0, 0};
    if (sws_scale(decoder->scaler, frame->data, frame->linesize, 0, frame->height, rows, strides) != decoder->height) {
        return false;
    }
    const size_t stride = static_cast<size_t>(FrameStride(decoder->width));
    for (int32_t y = 0; y < decoder->height; ++y) {
        std::memcpy(pixels + static_cast<size_t>(decoder->height - 1 - y) * stride,
                    decoder->staging + static_cast<size_t>(y) * decoder->stagingStride, rowBytes);
    }
    return true;
}

// Stops feeding the decoder: the frames of the packets it already has
// still come out, then DAMAGE (if any) is the outcome instead of the end.
void StartDraining(VideoDecoder* decoder, const std::string& damage) {
    decoder->draining = true;
    decoder->damage = damage;
    avcodec_send_packet(decoder->codec, nullptr);
}

// Decodes the next source frame into `pending`.
FrameRead DecodeNext(VideoDecoder* decoder, std::string* problem) {
    for (;;) {
        int result = avcodec_receive_frame(decoder->codec, decoder->pending);
        if (result == 0) {
            if (decoder->pending->decode_error_flags != 0 || (decoder->pending->flags & AV_FRAME_FLAG_CORRUPT) != 0) {
                av_frame_unref(decoder->pending);
                *problem = FrameName(decoder->decoded) + " is damaged";
                return FrameRead::Damaged;
            }
            ++decoder->decoded;
            return FrameRead::Frame;
        }
        if (result == AVERROR_EOF || (result == AVERROR(EAGAIN) && decoder->draining)) {
            if (decoder->decoded == 0 && decoder->skippedLeading > 0) {
                *problem = "no frame of its video stream can be decoded (" + ErrorText(decoder->leadingError) + ")";
                return FrameRead::Damaged;
            }
            if (decoder->damage.empty()) return FrameRead::End;
            *problem = decoder->damage;
            return FrameRead::Damaged;
        }
        if (result != AVERROR(EAGAIN) && result != AVERROR(ENOMEM) && decoder->decoded == 0 && !decoder->draining) {
            ++decoder->skippedLeading;  // as above
            decoder->leadingError = result;
            continue;
        }
        if (result != AVERROR(EAGAIN)) {
            *problem = FrameName(decoder->decoded) + " cannot be decoded (" + ErrorText(result) + ")";
            return result == AVERROR(ENOMEM) ? FrameRead::Failed : FrameRead::Damaged;
        }
        result = av_read_frame(decoder->format, decoder->packet);
        if (result == AVERROR_EOF) {
            StartDraining(decoder, CutShort(decoder->format, decoder->format->streams[decoder->streamIndex],
                                            decoder->span, decoder->nominalRate));
            continue;
        }
        if (result == AVERROR_EXIT) return FrameRead::Interrupted;
        if (result == AVERROR(ENOMEM) || result == AVERROR(EIO)) {
            *problem = ReadFailure(decoder->sent, result);
            return FrameRead::Failed;
        }
        if (result < 0) {
            StartDraining(decoder, ReadFailure(decoder->sent, result));
            continue;
        }
        if (decoder->packet->stream_index != decoder->streamIndex) {
            av_packet_unref(decoder->packet);
            continue;
        }
        const bool corrupt = (decoder->packet->flags & AV_PKT_FLAG_CORRUPT) != 0;
        if (!corrupt) AddPacket(&decoder->span, decoder->packet);
        if (decoder->waitForKey && (decoder->packet->flags & AV_PKT_FLAG_KEY) == 0) {
            av_packet_unref(decoder->packet);  // as the walk did: nothing to decode before a key frame
            continue;
        }
        decoder->waitForKey = false;
        const bool key = (decoder->packet->flags & AV_PKT_FLAG_KEY) != 0;
        // Packets marked for discarding (before an edit list's start) are
        // decoded for their references; the decoder drops their frames.
        if (!corrupt) result = avcodec_send_packet(decoder->codec, decoder->packet);
        av_packet_unref(decoder->packet);
        if (!corrupt && !key && result < 0 && result != AVERROR(EAGAIN) && result != AVERROR(ENOMEM) &&
            decoder->decoded == 0) {
            // Before the first frame, an error in a frame that is not a key
            // frame is one whose references came before the input's start
            // (a cut between key frames): it is skipped, and the first
            // frame stands in for it. A damaged key frame is damage.
            ++decoder->skippedLeading;
            decoder->leadingError = result;
            continue;
        }
        if (corrupt || (result < 0 && result != AVERROR(EAGAIN))) {
            if (result == AVERROR(ENOMEM)) {
                *problem = "out of memory";
                return FrameRead::Failed;
            }
            StartDraining(decoder, corrupt ? FrameName(decoder->sent) + " is cut off or corrupt"
                                           : FrameName(decoder->sent) + " cannot be decoded (" + ErrorText(result) + ")");
            continue;
        }
        ++decoder->sent;
    }
}

// Takes the decoded frame in `pending`: its time after the first frame,
// its first output index, and how far the frames decoded so far reach.
void PlacePending(VideoDecoder* decoder) {
    AVFrame* frame = decoder->pending;
    int64_t ticks = frame->best_effort_timestamp;
    if (ticks == AV_NOPTS_VALUE) ticks = frame->pts;
    if (!decoder->resample) {
        // With a planned count, skipped leading frames are filled by the
        // first frame that decodes; a pipe simply starts with it.
        const int64_t filled = decoder->frameCount >= 0 ? decoder->skippedLeading : 0;
        decoder->pendingStart = decoder->decoded == 1 ? 0 : decoder->decoded - 1 + filled;
        return;
    }
    if (decoder->firstTicks == AV_NOPTS_VALUE) decoder->firstTicks = ticks == AV_NOPTS_VALUE ? 0 : ticks;
    // A frame without a time follows the one before it by a frame.
    const int64_t time = ticks == AV_NOPTS_VALUE ? decoder->lastEnd : ticks - decoder->firstTicks;
    decoder->pendingStart = OutputFramesBefore(time, decoder->timeBase, decoder->rate, decoder->scale);
#if LIBAVUTIL_VERSION_INT >= AV_VERSION_INT(57, 30, 100)
    int64_t duration = frame->duration;
#else
    int64_t duration = frame->pkt_duration;
#endif
    if (duration <= 0) {
        duration = std::max<int64_t>(1, av_rescale_q(1, AVRational{decoder->scale, decoder->rate},
                                                     AVRational{decoder->timeBase.num, decoder->timeBase.den}));
    }
    decoder->lastEnd = std::max(decoder->lastEnd, time + duration);
}

FrameRead Finish(VideoDecoder* decoder, FrameRead outcome, const std::string& problem) {
    decoder->finished = true;
    decoder->outcome = outcome;
    decoder->problem = problem;
    return outcome;
}

// The output index where the last source frame stops being shown once the
// source has ended: one for one, after the last frame decoded; resampled,
// at the walked end of a sound input, else as far as the last frame reaches.
int64_t EndIndex(const VideoDecoder* decoder) {
    if (!decoder->resample) return decoder->decoded + (decoder->frameCount >= 0 ? decoder->skippedLeading : 0);
    if (decoder->frameCount >= 0 && decoder->endOutcome == FrameRead::End) return decoder->frameCount;
    return OutputFramesBefore(decoder->lastEnd, decoder->timeBase, decoder->rate, decoder->scale);
}

}  // namespace

bool OpenVideo(const std::string& path, const VideoOptions& options, VideoDecoder** decoderOut, VideoInfo* info,
               std::string* error) {
    *decoderOut = nullptr;
    av_log_set_level(options.verbose ? AV_LOG_INFO : AV_LOG_QUIET);
    const std::string name = path == "-" ? "standard input" : path;
    // "file:" keeps a name with a colon in it from being read as a protocol.
    const std::string url = path == "-" ? "pipe:0" : "file:" + path;
    VideoDecoder* decoder = new (std::nothrow) VideoDecoder;
    std::string reason;
    int result = decoder == nullptr ? AVERROR(ENOMEM) : OpenContainer(url, &decoder->format);
    if (result < 0) reason = OpenFailure(result);

    const AVCodec* codec = nullptr;
    if (reason.empty()) {
        result = av_find_best_stream(decoder->format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
        if (result == AVERROR_STREAM_NOT_FOUND) {
            reason = decoder->format->nb_streams > 0 ? "no video stream (it holds only audio or other data)"
                                                     : "no video stream";
        } else if (result == AVERROR_DECODER_NOT_FOUND) {
            // The stream is there; find it again without asking for a decoder, to name its codec.
            const int index = av_find_best_stream(decoder->format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
            const AVCodecID id = index >= 0 ? decoder->format->streams[index]->codecpar->codec_id : AV_CODEC_ID_NONE;
            reason = id == AV_CODEC_ID_NONE ? std::string("its video stream is of an unknown codec")
                                            : std::string("its video codec (") + avcodec_get_name(id) + ") cannot be decoded here";
        } else if (result < 0) {
            reason = OpenFailure(result);
        } else {
            decoder->streamIndex = result;
        }
    }

    AVStream* stream = reason.empty() ? decoder->format->streams[decoder->streamIndex] : nullptr;
    AVRational rate = {0, 1};
    Walk walk;
    const bool seekable = reason.empty() && decoder->format->pb != nullptr &&
                          (decoder->format->pb->seekable & AVIO_SEEKABLE_NORMAL) != 0;
    // The probe decodes a frame or two; when none came out, no frame will.
    if (reason.empty() && stream->codecpar->format < 0) {
        if (!seekable && std::string(decoder->format->iformat->name).find("mp4") != std::string::npos) {
            reason = "this MP4 or MOV file keeps its index at the end, which a pipe cannot reach: "
                     "give the file's name, or remake it with -movflags +faststart";
        } else {
            reason = "no frame of its video stream can be decoded";
        }
    }
    if (reason.empty()) {
        rate = StreamRate(decoder->format, stream);
        decoder->nominalRate = rate;
        if (seekable) {
            walk = WalkStream(decoder->format, decoder->streamIndex, rate);
            if (walk.interruptedOrFailed != 0) reason = OpenFailure(walk.interruptedOrFailed);
            // Read again from the start: reopening is the one way back that every format keeps exact.
            avformat_close_input(&decoder->format);
            if (reason.empty()) {
                result = OpenContainer(url, &decoder->format);
                if (result < 0) reason = OpenFailure(result);
                else if (decoder->streamIndex >= static_cast<int>(decoder->format->nb_streams)) reason = "the input changed while it was read";
            }
            if (reason.empty()) stream = decoder->format->streams[decoder->streamIndex];
            if (reason.empty() && walk.packets == 0 && walk.problem.empty()) reason = "the video stream holds no frames";
        } else {
            // A pipe's header count is not trusted for the plan: MP4's
            // includes the frames an edit list hides.
            walk.packets = -1;
        }
    }

    if (reason.empty()) {
        decoder->timeBase = TimeBase{stream->time_base.num, stream->time_base.den};
        if (decoder->timeBase.num <= 0 || decoder->timeBase.den <= 0) decoder->timeBase = TimeBase{1, 90000};
        if (options.fpsRate > 0 && options.fpsScale > 0) {
            decoder->resample = true;
            decoder->rate = options.fpsRate;
            decoder->scale = options.fpsScale;
        } else if (walk.variable) {
            // Resampled to the average rate by the timestamps, so the timing stays true.
            AVRational average = stream->avg_frame_rate;
            if ((average.num <= 0 || average.den <= 0) && walk.end > 0) {
                av_reduce(&average.num, &average.den, (walk.packets - 1) * int64_t(decoder->timeBase.den),
                          walk.end * int64_t(decoder->timeBase.num), INT32_MAX);
            }
            if (average.num > 0 && average.den > 0) {
                average = av_d2q(av_q2d(average), 100000);
                decoder->resample = true;
                decoder->rate = average.num;
                decoder->scale = average.den;
            }
        }
        if (!decoder->resample) {
            decoder->rate = rate.num;
            decoder->scale = rate.den;
            if (rate.num <= 0) reason = "the video stream gives no frame rate";
        }
    }
    if (reason.empty()) {
        if (!decoder->resample) {
            decoder->frameCount = walk.packets;
        } else if (walk.walked) {
            decoder->frameCount = walk.end >= 0 ? OutputFramesBefore(walk.end, decoder->timeBase, decoder->rate, decoder->scale)
                                                : walk.packets;
        }
        decoder->walkProblem = walk.problem;
        decoder->waitForKey = walk.sawKey;
        OutputSize(stream->codecpar, av_guess_sample_aspect_ratio(decoder->format, stream, nullptr), options,
                   &decoder->width, &decoder->height, &reason);
    }

    if (reason.empty()) {
        decoder->codec = avcodec_alloc_context3(codec);
        decoder->packet = av_packet_alloc();
        decoder->pending = av_frame_alloc();
        decoder->held = av_frame_alloc();
        if (decoder->codec == nullptr || decoder->packet == nullptr || decoder->pending == nullptr ||
            decoder->held == nullptr) {
            reason = "out of memory";
        }
    }
    if (reason.empty()) {
        result = avcodec_parameters_to_context(decoder->codec, stream->codecpar);
        if (result >= 0) {
            decoder->codec->pkt_timebase = stream->time_base;
            // A damaged packet is an error, not something to conceal.
            decoder->codec->err_recognition |= AV_EF_EXPLODE;
            // Threads on slices only: frame threads report an error a few
            // packets late, which would name the wrong frame.
            decoder->codec->thread_count = 0;
            decoder->codec->thread_type = FF_THREAD_SLICE;
            // A header may claim any size; frames past 16384 x 16384 are
            // refused before they are allocated.
            decoder->codec->max_pixels = int64_t(1) << 28;
            result = avcodec_open2(decoder->codec, codec, nullptr);
        }
        if (result < 0) {
            reason = std::string("its video stream (") + avcodec_get_name(stream->codecpar->codec_id) +
                     ") cannot be decoded: " + ErrorText(result);
        }
    }
    if (!reason.empty()) {
        *error = name + ": " + reason;
        CloseVideo(decoder);
        return false;
    }
    info->width = decoder->width;
    info->height = decoder->height;
    info->rate = decoder->rate;
    info->scale = decoder->scale;
    info->frameCount = decoder->frameCount;
    info->variableRate = walk.variable;
    info->description = Describe(stream->codecpar, rate);
    *decoderOut = decoder;
    return true;
}

FrameRead ReadVideoFrame(VideoDecoder* decoder, uint8_t* pixels, std::string* problem) {
    if (decoder->finished) {
        *problem = decoder->problem;
        return decoder->outcome;
    }
    for (;;) {
        if (decoder->frameCount >= 0 && decoder->delivered >= decoder->frameCount) {
            const FrameRead outcome = decoder->walkProblem.empty() ? FrameRead::End : FrameRead::Damaged;
            *problem = decoder->walkProblem;
            return Finish(decoder, outcome, *problem);
        }
        const int64_t heldUntil = decoder->pendingValid ? decoder->pendingStart
                                  : decoder->sourceEnded ? EndIndex(decoder) : -1;
        if (decoder->heldValid && decoder->delivered < heldUntil) {
            if (!ConvertFrame(decoder, decoder->held, pixels)) {
                *problem = FrameName(decoder->delivered) + " cannot be converted to BGR";
                return Finish(decoder, FrameRead::Failed, *problem);
            }
            ++decoder->delivered;
            return FrameRead::Frame;
        }
        if (decoder->pendingValid) {
            av_frame_unref(decoder->held);
            av_frame_move_ref(decoder->held, decoder->pending);
            decoder->heldValid = true;
            decoder->pendingValid = false;
            continue;
        }
        if (decoder->sourceEnded) {
            if (decoder->endOutcome != FrameRead::End) {
                *problem = decoder->endProblem;
                return Finish(decoder, decoder->endOutcome, *problem);
            }
            // Fewer frames than the walk counted: the input changed or the decoder dropped some.
            if (decoder->frameCount >= 0) {
                *problem = "the input ends after " + std::to_string(decoder->delivered) + " of its " +
                           std::to_string(decoder->frameCount) + " frames";
                return Finish(decoder, FrameRead::Damaged, *problem);
            }
            problem->clear();
            return Finish(decoder, FrameRead::End, *problem);
        }
        const FrameRead read = DecodeNext(decoder, problem);
        if (read == FrameRead::Frame) {
            PlacePending(decoder);
            decoder->pendingValid = true;
        } else if (read == FrameRead::Interrupted) {
            // Not final: the stop request ends the job anyway.
            problem->clear();
            return read;
        } else {
            // The frame on screen is sound; it is shown before the outcome.
            decoder->sourceEnded = true;
            decoder->endOutcome = read;
            decoder->endProblem = read == FrameRead::End ? std::string() : *problem;
        }
    }
}

void CloseVideo(VideoDecoder* decoder) {
    if (decoder == nullptr) return;
    av_frame_free(&decoder->held);
    av_frame_free(&decoder->pending);
    av_packet_free(&decoder->packet);
    avcodec_free_context(&decoder->codec);
    avformat_close_input(&decoder->format);
    sws_freeContext(decoder->scaler);
    av_free(decoder->staging);
    delete decoder;
}
