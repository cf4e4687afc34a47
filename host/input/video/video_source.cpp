// Frames of any video through FFmpeg's libraries (video_decoder), behind
// the frame source record. The decoder scales, resamples the rate and
// converts into the host frame layout itself; this file only maps its
// answers. Without ROZOVE_HAVE_FFMPEG (the Windows build) there is no decoder.
#include "host/input/video/video_source.h"

#include "gif/gif_limits.h"

#if defined(ROZOVE_HAVE_FFMPEG)
#include "host/input/video/video_decoder.h"
#endif

#if defined(ROZOVE_HAVE_FFMPEG)

bool VideoInputBuilt() {
    return true;
}

bool OpenVideoSource(const std::string& path, const VideoRequest& request, FrameSource* source,
                     std::string* error) {
    StartSource(source, SourceKind::Video);
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
    if (info.width < 1 || info.height < 1 || info.width > gif_limits::kMaxSide ||
        info.height > gif_limits::kMaxSide || info.rate < 1 || info.scale < 1 ||
        FrameBytes(info.width, info.height) == 0) {
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
    if (!Allocate(&source->pixels, FrameBytes(info.width, info.height), &reason)) {
        *error = source->input.name + ": " + reason;
        CloseVideoSource(source);
        return false;
    }
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
