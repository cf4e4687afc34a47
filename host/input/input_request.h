// What the user asked of the input, as the command line gives it to the
// sources: the path (or several still images), the format of raw frames,
// and for video the size and rate to deliver. One record from the command
// line down to the decoder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Raw bgr24 frames carry no header: their size and rate come from the user.
struct RawFormat {
    int32_t width = 0;   // 0: the input is not raw
    int32_t height = 0;
    int32_t rate = 0;    // frames per second = rate / scale
    int32_t scale = 0;
};

// Still images a second when --fps gives no rate: ffmpeg's own default for
// an image sequence.
constexpr int32_t kStillsRate = 25;

// For video through FFmpeg's libraries: what to deliver (0: as the video has it).
struct VideoOptions {
    int32_t width = 0;     // one side given: the other follows the displayed aspect
    int32_t height = 0;
    int32_t fpsRate = 0;   // 0: the stream's own rate; else resample to fpsRate / fpsScale
    int32_t fpsScale = 0;
    int64_t startMicroseconds = 0;     // --start: where the GIF begins, from the video's first frame
    int64_t durationMicroseconds = -1; // --duration, or --to less --start; -1: to the end
    bool verbose = false;  // the libraries' own log on standard error
};

struct InputRequest {
    std::string path;  // "-" for standard input; the first of `stills` when there are several
    // Two or more still images, in the order given, one frame each (gifski's
    // habit: rozove export frame*.png out.gif); empty for one input.
    std::vector<std::string> stills;
    RawFormat raw;
    VideoOptions video;
};

inline bool IsRaw(const InputRequest& request) {
    return request.raw.width > 0;
}

// --width, --height, --fps, --start, --duration or --to: only the video
// reader can scale, resample or trim.
inline bool WantsScaling(const VideoOptions& video) {
    return video.width != 0 || video.height != 0 || video.fpsRate != 0 || video.startMicroseconds != 0 ||
           video.durationMicroseconds >= 0;
}
