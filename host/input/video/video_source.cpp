// Any video through FFmpeg's libraries as a frame source. The decoder
// scales, resamples the rate and converts into the host frame layout
// itself; this file checks what it opened and hands its frames on. Built
// only where the libraries are (video_absent.cpp stands in elsewhere).
#include "gif/gif_limits.h"
#include "host/input/frame_buffer.h"
#include "host/input/sources.h"
#include "host/input/video/video_decoder.h"

namespace {

VideoDecoder* DecoderOf(FrameSource* source) {
    return static_cast<VideoDecoder*>(source->state);
}

FrameRead ReadDecoded(FrameSource* source, std::string* problem) {
    return ReadVideoFrame(DecoderOf(source), source->pixels.data(), problem);
}

void CloseDecoder(FrameSource* source) {
    CloseVideo(DecoderOf(source));
}

const SourceReader kVideoReader = {ReadDecoded, CloseDecoder};

bool Deliverable(const VideoInfo& info) {
    return info.width >= 1 && info.height >= 1 && info.width <= gif_limits::kMaxSide &&
           info.height <= gif_limits::kMaxSide && info.rate >= 1 && info.scale >= 1 &&
           FrameBytes(info.width, info.height) != 0;
}

}  // namespace

bool VideoInputBuilt() {
    return true;
}

bool OpenVideoSource(const std::string& path, const VideoOptions& options, FrameSource* source,
                     std::string* error) {
    VideoDecoder* decoder = nullptr;
    VideoInfo info{};
    std::string reason;
    const std::string name = path == "-" ? "standard input" : path;
    if (!OpenVideo(path, options, &decoder, &info, &reason)) {
        // The decoder's reason names the input already.
        *error = reason.empty() ? name + ": cannot read it as video" : reason;
        return false;
    }
    StartSource(source, &kVideoReader, decoder, name);
    if (!Deliverable(info)) {
        *error = name + ": frames of " + std::to_string(info.width) + "x" + std::to_string(info.height) + " at " +
                 std::to_string(info.rate) + "/" + std::to_string(info.scale) + " per second cannot go into a GIF";
        CloseSource(source);
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
        *error = name + ": " + reason;
        CloseSource(source);
        return false;
    }
    return true;
}
