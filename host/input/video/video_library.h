// The video decoder as a library of its own (rozove_video.so), so that
// rozove links none of FFmpeg's libraries, which pull in some 136 shared
// libraries and cost every start about 85 ms, raw and Y4M input too. The
// video source loads it the first time an input needs it, and finds the
// decoder's three calls (video_decoder.h) and the still-picture test
// (still_probe.h) in the table its one export gives.
#pragma once

#include <cstdint>
#include <string>

#include "host/common/frame_read.h"
#include "host/input/input_request.h"
#include "host/input/video/still_probe.h"
#include "host/input/video/video_decoder.h"

struct VideoLibrary {
    bool (*open)(const std::string& path, const VideoOptions& options, VideoDecoder** decoder, VideoInfo* info,
                 std::string* error);
    FrameRead (*read)(VideoDecoder* decoder, uint8_t* pixels, std::string* problem);
    void (*timeOf)(const VideoDecoder* decoder, int64_t* time, int64_t* duration, int64_t* mended);
    void (*close)(VideoDecoder* decoder);
    StillProbe (*probeStill)(const std::string& path, bool verbose, std::string* reason);
    // The versions of FFmpeg's libraries the decoder runs on, as loaded.
    std::string (*libraryVersions)();
};

// The export: the table, given the host's stop flag, which the decoder
// asks while it waits for input (the library has no flag of its own).
using VideoLibraryEntry = const VideoLibrary* (*)(bool (*stopRequested)());
constexpr char kVideoLibraryEntry[] = "RozoveVideoLibrary";
