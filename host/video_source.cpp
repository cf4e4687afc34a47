// Frames of any video through FFmpeg's libraries (video_decoder), behind
// the frame source record. The decoder scales, resamples the rate and
// converts into the host frame layout itself; this file only maps its
// answers. Without ROZOVE_HAVE_FFMPEG (the Windows build) there is no decoder.
#include "host/video_source.h"

#include "gif/gif_limits.h"
#include "plugin/host_contract.h"

#if defined(ROZOVE_HAVE_FFMPEG)
#include "host/video_decoder.h"
#endif

#if defined(ROZOVE_HAVE_FFMPEG)

bool VideoInputBuilt() {
    return true;
}

bool OpenVideoSource(const std::string& path, const VideoRequest& request, FrameSource* source,
                     std::string* error) {
    *source = FrameSource{};
    source->kind = SourceKind::Video;
    source->knownFrames = source->expectedFrames = source->loaded = -1;
    source->input.name = path == "-" ? "standard input" : path;
    VideoOptions options;
    options.width = request.width;
    options.height = request.height;
    options.fpsRate = request.fpsRate;
    options.fpsScale = request.fpsScale;
    options.verbose = request.verbose;
    VideoInfo info{};
    std::string reason;
    if (!OpenVideo(path, options, &source->video, &info, &reason)) {
        source->video = nullptr;
        // The decoder's reason names the input already.
        *error = reason.empty() ? source->input.name + ": cannot read it as video" : reason;
        return false;
    }
    const uint64_t bytes = static_cast<uint64_t>(FrameStride(info.width)) * static_cast<uint64_t>(info.height);
    if (info.width < 1 || info.height < 1 || info.width > gif_limits::kMaxSide || info.height > gif_limits::kMaxSide || info.rate < 1 ||
        info.scale < 1 || bytes > (uint64_t(1) << 30)) {
        *error = source->input.name + ": frames of " + std::to_string(info.width) + "x" +
                 std::to_string(info.height) + " at " + std::to_string(info.rate) + "/" +
                 std::to_string(info.scale) + " per second cannot go into a GIF";
        CloseVideoSource(source);
        return false;
    }
    source->width = info.width;
    source->height = info.height;
    source->rate = info.rate;
    source->scale = info.scale;
    // The decoder's count is a promise: fewer frames end in Damaged.
    source->knownFrames = source->expectedFrames = info.frameCount;
    source->variableRate = info.variableRate;
    source->description = info.description;
    source->pixels.assign(static_cast<size_t>(bytes), 0);
    return true;
}

FrameRead ReadVideoSourceFrame(FrameSource* source, std::string* problem) {
    switch (ReadVideoFrame(source->video, source->pixels.data(), problem)) {
        case VideoRead::Frame: return FrameRead::Frame;
        case VideoRead::End: return FrameRead::End;
        case VideoRead::Damaged: return FrameRead::Damaged;
        case VideoRead::Interrupted: return FrameRead::Interrupted;
        case VideoRead::Failed: break;
    }
    return FrameRead::Failed;
}

void CloseVideoSource(FrameSource* source) {
    if (source->video != nullptr) CloseVideo(source->video);
    source->video = nullptr;
}

#else

bool VideoInputBuilt() {
    return false;
}

bool OpenVideoSource(const std::string& path, const VideoRequest&, FrameSource*, std::string* error) {
    *error = path + ": this build reads only Y4M and raw frames";
    return false;
}

FrameRead ReadVideoSourceFrame(FrameSource*, std::string* problem) {
    *problem = "this build has no video decoder";
    return FrameRead::Failed;
}

void CloseVideoSource(FrameSource* source) {
    source->video = nullptr;
}

#endif
