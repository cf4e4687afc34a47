// Opening a video: the container (libavformat), the best video stream, a
// walk of a seekable input (video_walk.cpp), the plan (video_plan.cpp) and
// the decoder (libavcodec); and closing it all again. Every refusal is one
// line that names the input, and a failed open leaves nothing open.
//
// Only files and standard input are read: a playlist or a concatenation
// list inside the input cannot make the libraries open a network address.
// Their log goes to stderr at its usual level when `verbose` is set, else
// nowhere.
#include <memory>
#include <new>

#include "host/input/video/still_probe.h"
#include "host/input/video/video_decoder_state.h"

namespace {

bool (*stopCheck)() = nullptr;

int OnInterruptCheck(void*) {
    return stopCheck != nullptr && stopCheck() ? 1 : 0;
}

// Opens a container into OWNER and reads its stream information; OWNER
// stays empty on failure.
int OpenContainer(const std::string& url, FormatOwner* owner) {
    owner->reset();
    AVFormatContext* format = avformat_alloc_context();
    if (format == nullptr) return AVERROR(ENOMEM);
    format->interrupt_callback.callback = OnInterruptCheck;
    format->interrupt_callback.opaque = nullptr;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file,pipe", 0);
    int result = avformat_open_input(&format, url.c_str(), nullptr, &options);  // frees format on failure
    av_dict_free(&options);
    if (result < 0) return result;
    owner->reset(format);
    result = avformat_find_stream_info(format, nullptr);
    if (result < 0) owner->reset();
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
std::string ChooseStream(Demuxing* demux, const AVCodec** codec) {
    AVFormatContext* format = demux->format.get();
    const int result = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, codec, 0);
    if (result == AVERROR_STREAM_NOT_FOUND) {
        return format->nb_streams > 0 ? "no video stream (it holds only audio or other data)" : "no video stream";
    }
    if (result == AVERROR_DECODER_NOT_FOUND) {
        // The stream is there; find it again without asking for a decoder, to name its codec.
        const int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        const AVCodecID id = index >= 0 ? format->streams[index]->codecpar->codec_id : AV_CODEC_ID_NONE;
        if (id == AV_CODEC_ID_NONE) return "its video stream is of an unknown codec";
        return std::string("its video codec (") + avcodec_get_name(id) + ") cannot be decoded here";
    }
    if (result < 0) return OpenFailure(result);
    demux->streamIndex = result;
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
std::string WalkAndReopen(Demuxing* demux, const std::string& url, Walk* walk) {
    *walk = WalkStream(demux->format.get(), demux->streamIndex, demux->nominalRate);
    const std::string reason = walk->interruptedOrFailed != 0 ? OpenFailure(walk->interruptedOrFailed) : std::string();
    demux->format.reset();
    if (!reason.empty()) return reason;
    const int result = OpenContainer(url, &demux->format);
    if (result < 0) return OpenFailure(result);
    if (demux->streamIndex >= static_cast<int>(demux->format->nb_streams)) {
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
    return facts;
}

// On a trimmed input, seeks to the key frame at or before the start
// (FIRST, the walked first frame's time, on), so that a long file is not
// decoded from its beginning; the frames before the start are decoded for
// their references and then passed over (video_decode.cpp). SOUGHT says
// whether it sought.
std::string SeekToStart(const Demuxing& demux, int64_t first, bool* sought) {
    *sought = false;
    if (demux.plan.startTicks <= 0) return std::string();
    const int64_t target = first + demux.plan.startTicks;
    const int result = avformat_seek_file(demux.format.get(), demux.streamIndex, INT64_MIN, target, target, 0);
    if (result < 0) return "it cannot seek to --start (" + ErrorText(result) + ")";
    *sought = true;
    return std::string();
}

// Opens the container and plans the frames into DEMUX: "" or why it cannot be.
std::string OpenDemuxing(Demuxing* demux, const std::string& url, const VideoOptions& options,
                         Walk* walk, const AVCodec** codec) {
    const int result = OpenContainer(url, &demux->format);
    if (result < 0) return OpenFailure(result);
    std::string reason = ChooseStream(demux, codec);
    if (!reason.empty()) return reason;
    AVFormatContext* format = demux->format.get();
    const bool seekable = format->pb != nullptr && (format->pb->seekable & AVIO_SEEKABLE_NORMAL) != 0;
    reason = ProbeFailure(format, format->streams[demux->streamIndex], seekable);
    if (!reason.empty()) return reason;
    demux->nominalRate = StreamRate(format, format->streams[demux->streamIndex]);
    if (seekable) {
        reason = WalkAndReopen(demux, url, walk);
        if (!reason.empty()) return reason;
    } else {
        // A pipe's header count is not trusted for the plan: MP4's
        // includes the frames an edit list hides. Its frames are timed as
        // they come, so nothing is read ahead.
        walk->packets = -1;
    }
    AVStream* stream = demux->format->streams[demux->streamIndex];
    if (!PlanVideo(FactsOf(demux->format.get(), stream, demux->nominalRate, *walk), options, &demux->plan, &reason)) {
        return reason;
    }
    demux->walkProblem = walk->problem;
    return std::string();
}

// Opens everything DECODER holds, in order: "" or why it cannot be.
std::string OpenAll(VideoDecoder* decoder, const std::string& url, const VideoOptions& options, Walk* walk) {
    const AVCodec* codec = nullptr;
    std::string reason = OpenDemuxing(&decoder->demux, url, options, walk, &codec);
    if (!reason.empty()) return reason;
    const Demuxing& demux = decoder->demux;
    reason = OpenDecoding(&decoder->timeline, codec, demux.format->streams[demux.streamIndex]);
    if (!reason.empty()) return reason;
    // A walked file's frames are timed from its first frame; a pipe's from
    // the first frames it gives (video_damage.cpp).
    const bool walkedFirst = walk->walked && walk->first != AV_NOPTS_VALUE;
    bool sought = false;
    if (walkedFirst) reason = SeekToStart(demux, walk->first, &sought);
    StartTimeline(&decoder->timeline, walkedFirst ? walk->first : AV_NOPTS_VALUE, walk->sawKey || sought);
    return reason;
}

}  // namespace

bool OpenVideo(const std::string& path, const VideoOptions& options, VideoDecoder** decoderOut, VideoInfo* info,
               std::string* error) {
    *decoderOut = nullptr;
    av_log_set_level(options.verbose ? AV_LOG_INFO : AV_LOG_QUIET);
    const std::string name = path == "-" ? "standard input" : path;
    // "file:" keeps a name with a colon in it from being read as a protocol.
    const std::string url = path == "-" ? "pipe:0" : "file:" + path;
    std::unique_ptr<VideoDecoder> decoder(new (std::nothrow) VideoDecoder);
    Walk walk;
    const std::string reason =
        decoder == nullptr ? OpenFailure(AVERROR(ENOMEM)) : OpenAll(decoder.get(), url, options, &walk);
    if (!reason.empty()) {
        *error = name + ": " + reason;
        return false;
    }
    const Demuxing& demux = decoder->demux;
    const VideoPlan& plan = demux.plan;
    info->width = plan.width;
    info->height = plan.height;
    info->rate = plan.rate;
    info->scale = plan.scale;
    info->frameCount = plan.frameCount;
    info->timed = plan.timed;
    const AVCodecParameters* parameters = demux.format->streams[demux.streamIndex]->codecpar;
    info->interlaced = parameters->field_order != AV_FIELD_UNKNOWN && parameters->field_order != AV_FIELD_PROGRESSIVE;
    *decoderOut = decoder.release();
    return true;
}

void CloseVideo(VideoDecoder* decoder) {
    delete decoder;
}

void SetVideoStopCheck(bool (*stopRequested)()) {
    stopCheck = stopRequested;
}
