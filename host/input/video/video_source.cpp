// Any video through FFmpeg's libraries as a frame source. The decoder
// scales, resamples the rate and converts into the host frame layout
// itself; this file loads it (rozove_video.so, beside the module, the
// first time an input needs it), checks what it opened and hands its
// frames on. Built only where the libraries are (video_absent.cpp stands
// in elsewhere).
#include "gif/gif_limits.h"
#include "host/common/install_layout.h"
#include "host/common/stop_signal.h"
#include "host/input/frame_buffer.h"
#include "host/input/sources.h"
#include "host/input/video/video_library.h"
#include "platform/host_os.h"

namespace {

const VideoLibrary* library = nullptr;  // loaded once, kept until the process ends

// The decoder's library, found where the module is.
const VideoLibrary* LoadVideoLibrary(std::string* error) {
    if (library != nullptr) return library;
    const std::string path = InstalledFilePath(ROZOVE_VIDEO_LIBRARY);
    void* handle = OpenModule(path, error);
    if (handle == nullptr) return nullptr;
    const auto entry = reinterpret_cast<VideoLibraryEntry>(ModuleSymbol(handle, kVideoLibraryEntry));
    library = entry != nullptr ? entry(StopRequested) : nullptr;
    if (library == nullptr) {
        *error = path + ": not rozove's video library (no " + kVideoLibraryEntry + ")";
        CloseModule(handle);
    }
    return library;
}

FrameRead ReadDecoded(FrameSource* source, std::string* problem) {
    const FrameRead read = library->read(StateOf<VideoDecoder>(source), source->pixels.data(), problem);
    if (read == FrameRead::Frame && source->timed) {
        library->timeOf(StateOf<VideoDecoder>(source), &source->time, &source->duration, &source->mended);
    }
    return read;
}

const SourceReader kVideoReader = {ReadDecoded};

bool Deliverable(const VideoInfo& info) {
    return info.width >= 1 && info.height >= 1 && info.width <= gif_limits::kMaxSide &&
           info.height <= gif_limits::kMaxSide && info.rate >= 1 && info.scale >= 1 &&
           FrameBytes(info.width, info.height) != 0;
}

}  // namespace

bool VideoInputBuilt() {
    return true;
}

bool VideoLibraryVersions(std::string* versions) {
    if (LoadVideoLibrary(versions) == nullptr) return false;
    *versions = library->libraryVersions();
    return true;
}

StillProbe ProbeStillImage(const std::string& path, bool verbose, std::string* reason) {
    if (LoadVideoLibrary(reason) != nullptr) return library->probeStill(path, verbose, reason);
    *reason = "cannot read pictures without FFmpeg's libraries: " + *reason;
    return StillProbe::Unreadable;
}

bool OpenVideoSource(const std::string& path, const VideoOptions& options, FrameSource* source,
                     std::string* error) {
    VideoDecoder* decoder = nullptr;
    VideoInfo info{};
    std::string reason;
    const std::string name = path == "-" ? "standard input" : path;
    if (LoadVideoLibrary(&reason) == nullptr) {
        *error = name + ": cannot read video without FFmpeg's libraries: " + reason;
        return false;
    }
    if (!library->open(path, options, &decoder, &info, &reason)) {
        // The decoder's reason names the input already.
        *error = reason.empty() ? name + ": cannot read it as video" : reason;
        return false;
    }
    StartSource(source, &kVideoReader, std::shared_ptr<VideoDecoder>(decoder, library->close), name);
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
    source->timed = info.timed;
    source->interlaced = info.interlaced;
    if (!Allocate(&source->pixels, FrameBytes(info.width, info.height), &reason)) {
        *error = name + ": " + reason;
        CloseSource(source);
        return false;
    }
    return true;
}
