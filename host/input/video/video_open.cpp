// Opening a video: the container (libavformat), the best video stream, a
// walk of a seekable input (video_walk.cpp), the plan (video_plan.cpp) and
// the decoder (libavcodec); and closing it all again. Every refusal is one
// line that names the input, and a failed open leaves nothing open.
//
// Only files and standard input are read: a playlist or a concatenation
// list inside the input cannot make the libraries open a network address.
// Their log goes to stderr at its usual level when `verbose` is set, else
// nowhere.
#include <algorithm>
#include <new>

extern "C" {
#include <libavutil/cpu.h>
#include <libavutil/pixdesc.h>
}

#include "host/common/stop_signal.h"
#include "host/input/video/still_probe.h"
#include "host/input/video/video_decoder_state.h"

namespace {

int OnInterruptCheck(void*) {
    return StopRequested() ? 1 : 0;
}

// Opens a container and reads its stream information.
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

// Chooses the best video stream and its decoder: "" or why there is none.
std::string ChooseStream(VideoDecoder* decoder, const AVCodec** codec) {
    const int result = av_find_best_stream(decoder->format, AVMEDIA_TYPE_VIDEO, -1, -1, codec, 0);
    if (result == AVERROR_STREAM_NOT_FOUND) {
        return decoder->format->nb_streams > 0 ? "no video stream (it holds only audio or other data)"
                                               : "no video stream";
    }
    if (result == AVERROR_DECODER_NOT_FOUND) {
        // The stream is there; find it again without asking for a decoder, to name its codec.
        const int index = av_find_best_stream(decoder->format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        const AVCodecID id = index >= 0 ? decoder->format->streams[index]->codecpar->codec_id : AV_CODEC_ID_NONE;
        if (id == AV_CODEC_ID_NONE) return "its video stream is of an unknown codec";
        return std::string("its video codec (") + avcodec_get_name(id) + ") cannot be decoded here";
    }
    if (result < 0) return OpenFailure(result);
    decoder->streamIndex = result;
    return std::string();
}

// The probe at open decodes a frame or two; when none came out, no frame will.
std::string ProbeFailure(const AVFormatContext* format, const AVStream* stream, bool seekable) {
    if (stream->codecpar->format >= 0) return std::string();
    if (!seekable && std::string(format->iformat->name).find("mp4") != std::string::npos) {
        return "this MP4 or MOV file keeps its index at the end, which a pipe cannot reach: "
               "give the file's name, or remake it with -movflags +faststart";
    }
    return "no frame of its video stream can be decoded";
}

// The stream's own rate, as rate / scale that fit in 32 bits.
AVRational StreamRate(AVFormatContext* format, AVStream* stream) {
    AVRational rate = av_guess_frame_rate(format, stream, nullptr);
    if (rate.num <= 0 || rate.den <= 0) return AVRational{0, 1};
    av_reduce(&rate.num, &rate.den, rate.num, rate.den, INT32_MAX);
    return rate;
}

// Walks a seekable input into WALK and opens it again at its start:
// reopening is the one way back that every format keeps exact.
std::string WalkAndReopen(VideoDecoder* decoder, const std::string& url, Walk* walk) {
    *walk = WalkStream(decoder->format, decoder->streamIndex, decoder->nominalRate);
    const std::string reason = walk->interruptedOrFailed != 0 ? OpenFailure(walk->interruptedOrFailed) : std::string();
    avformat_close_input(&decoder->format);
    if (!reason.empty()) return reason;
    const int result = OpenContainer(url, &decoder->format);
    if (result < 0) return OpenFailure(result);
    if (decoder->streamIndex >= static_cast<int>(decoder->format->nb_streams)) {
        return "the input changed while it was read";
    }
    if (walk->packets == 0 && walk->problem.empty()) return "the video stream holds no frames";
    return std::string();
}

StreamFacts FactsOf(AVFormatContext* format, AVStream* stream, AVRational rate, const Walk& walk) {
    StreamFacts facts;
    facts.width = stream->codecpar->width;
    facts.height = stream->codecpar->height;
    const AVRational aspect = av_guess_sample_aspect_ratio(format, stream, nullptr);
    facts.sampleAspect = Fraction{aspect.num, aspect.den};
    facts.stills = IsStillDemuxer(format->iformat->name) || (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
    facts.orientation = OrientationOf(
        reinterpret_cast<const int32_t*>(av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr)));
    facts.nominalRate = Fraction{rate.num, rate.den};
    facts.averageRate = Fraction{stream->avg_frame_rate.num, stream->avg_frame_rate.den};
    facts.timeBase = TimeBase{stream->time_base.num, stream->time_base.den};
    facts.walked = walk.walked;
    facts.packets = walk.packets;
    facts.endTicks = walk.end;
    facts.variable = walk.variable;
    facts.lastTicks = walk.last;
    facts.grid = Fraction{walk.gridRate, walk.gridScale};
    return facts;
}

// Opens the decoder for STREAM, with room for a packet and two frames.
std::string OpenCodec(VideoDecoder* decoder, const AVCodec* codec, const AVStream* stream) {
    decoder->codec = avcodec_alloc_context3(codec);
    decoder->packet = av_packet_alloc();
    decoder->pending = av_frame_alloc();
    decoder->held = av_frame_alloc();
    if (decoder->codec == nullptr || decoder->packet == nullptr || decoder->pending == nullptr ||
        decoder->held == nullptr) {
        return "out of memory";
    }
    int result = avcodec_parameters_to_context(decoder->codec, stream->codecpar);
    if (result >= 0) {
        decoder->codec->pkt_timebase = stream->time_base;
        // As ffmpeg decodes: small errors concealed, frames on every core
        // (frame threads, which rozove's reading thread runs beside the
        // module's). A frame the decoder does not give is found by its time
        // (video_damage.cpp), whatever order the threads finish in. One
        // thread a core, not ffmpeg's one more: the module's thread wants
        // a core too (on 2 cores, 1080p H.264 jobs took 0.91 to 0.95 of
        // the wall time they took with three).
        decoder->codec->thread_count = std::max(1, av_cpu_count());
        decoder->codec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        // A header may claim any size; frames past 16384 x 16384 are
        // refused before they are allocated.
        decoder->codec->max_pixels = int64_t(1) << 28;
        result = avcodec_open2(decoder->codec, codec, nullptr);
    }
    if (result >= 0) return std::string();
    return std::string("its video stream (") + avcodec_get_name(stream->codecpar->codec_id) +
           ") cannot be decoded: " + ErrorText(result);
}

// Times frames from FIRST, the walked first frame's, and on a trimmed
// input seeks to the key frame at or before the start, so that a long
// file is not decoded from its beginning; the frames before the start are
// decoded for their references and then passed over (video_decode.cpp).
std::string SeekToStart(VideoDecoder* decoder, int64_t first) {
    decoder->firstTicks = first;
    if (decoder->plan.startTicks <= 0) return std::string();
    const int64_t target = first + decoder->plan.startTicks;
    const int result = avformat_seek_file(decoder->format, decoder->streamIndex, INT64_MIN, target, target, 0);
    if (result < 0) return "it cannot seek to --start (" + ErrorText(result) + ")";
    decoder->waitForKey = true;
    return std::string();
}

// Opens everything DECODER holds, in order: "" or why it cannot be.
std::string OpenAll(VideoDecoder* decoder, const std::string& url, const VideoOptions& options, Walk* walk) {
    const int result = OpenContainer(url, &decoder->format);
    if (result < 0) return OpenFailure(result);
    const AVCodec* codec = nullptr;
    std::string reason = ChooseStream(decoder, &codec);
    if (!reason.empty()) return reason;
    const bool seekable = decoder->format->pb != nullptr && (decoder->format->pb->seekable & AVIO_SEEKABLE_NORMAL) != 0;
    reason = ProbeFailure(decoder->format, decoder->format->streams[decoder->streamIndex], seekable);
    if (!reason.empty()) return reason;
    decoder->nominalRate = StreamRate(decoder->format, decoder->format->streams[decoder->streamIndex]);
    if (seekable) {
        reason = WalkAndReopen(decoder, url, walk);
        if (!reason.empty()) return reason;
    } else {
        // A pipe's header count is not trusted for the plan: MP4's
        // includes the frames an edit list hides.
        walk->packets = -1;
        ReadAhead(decoder, walk);
    }
    AVStream* stream = decoder->format->streams[decoder->streamIndex];
    if (!PlanVideo(FactsOf(decoder->format, stream, decoder->nominalRate, *walk), options, &decoder->plan, &reason)) {
        return reason;
    }
    decoder->walkProblem = walk->problem;
    decoder->waitForKey = walk->sawKey;
    reason = OpenCodec(decoder, codec, stream);
    if (reason.empty() && walk->walked && walk->first != AV_NOPTS_VALUE) reason = SeekToStart(decoder, walk->first);
    return reason;
}

std::string Describe(const AVCodecParameters* parameters, AVRational rate) {
    const char* pixels = av_get_pix_fmt_name(static_cast<AVPixelFormat>(parameters->format));
    return std::string(avcodec_get_name(parameters->codec_id)) + " " + std::to_string(parameters->width) + "x" +
           std::to_string(parameters->height) + " " + (pixels != nullptr ? pixels : "unknown") + ", " +
           std::to_string(rate.num) + "/" + std::to_string(rate.den) + " fps";
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
    Walk walk;
    const std::string reason =
        decoder == nullptr ? OpenFailure(AVERROR(ENOMEM)) : OpenAll(decoder, url, options, &walk);
    if (!reason.empty()) {
        *error = name + ": " + reason;
        CloseVideo(decoder);
        return false;
    }
    const VideoPlan& plan = decoder->plan;
    info->width = plan.width;
    info->height = plan.height;
    info->rate = plan.rate;
    info->scale = plan.scale;
    info->frameCount = plan.frameCount;
    info->variableRate = walk.variable;
    const AVFieldOrder fields = decoder->format->streams[decoder->streamIndex]->codecpar->field_order;
    info->interlaced = fields != AV_FIELD_UNKNOWN && fields != AV_FIELD_PROGRESSIVE;
    info->description = Describe(decoder->format->streams[decoder->streamIndex]->codecpar, decoder->nominalRate);
    *decoderOut = decoder;
    return true;
}

void CloseVideo(VideoDecoder* decoder) {
    if (decoder == nullptr) return;
    DropAhead(decoder);
    av_frame_free(&decoder->held);
    av_frame_free(&decoder->pending);
    av_packet_free(&decoder->packet);
    avcodec_free_context(&decoder->codec);
    avformat_close_input(&decoder->format);
    sws_freeContext(decoder->scaler);
    av_free(decoder->staging);
    delete decoder;
}
