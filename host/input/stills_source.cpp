// Several still images as one input, as gifski's users give them
// (rozove export frame*.png out.gif): one frame an image, in the order
// given, at --fps or 25 a second. Each image is opened, decoded and closed
// in its turn through the video source, so that pictures of any format
// and any name mix freely and only one is held at a time.
//
// The first image shown sets the GIF's size as that image alone would (its
// displayed aspect, or --width / --height); every other image is scaled to
// exactly that size, stretched where its aspect differs, as ffmpeg's
// scale=W:H does. --start, --duration and --to keep the images whose times
// (image i at i / rate) fall in the span, as for a numbered sequence. An
// image that cannot be decoded once the GIF has begun is skipped and the
// one before it held in its place, as a damaged video frame is; the
// skipped images are named in one line at the end.
#include <algorithm>
#include <cstdio>
#include <new>

#include "host/common/stop_signal.h"
#include "host/input/frame_buffer.h"
#include "host/input/frame_timing.h"
#include "host/input/sequence_name.h"
#include "host/input/sources.h"
#include "platform/host_os.h"

namespace {

struct StillsState {
    std::vector<std::string> paths;  // the images shown, in order, trimmed
    VideoOptions each;               // how every image after the first is opened
    // The last image decoded, for the frame and any that cannot be decoded
    // after it: the record's own buffer changes hands between reads.
    FramePixels shown;
    int64_t skipped = 0;
    std::string skippedNames;
    std::string firstReason;         // why the first skipped image could not be shown
};

// The skipped images in one line, the way the video decoder names its
// skipped frames.
std::string SkipSummary(const StillsState& stills) {
    const int64_t count = stills.skipped;
    const std::string more = count > kNamedFrames ? " and " + std::to_string(count - kNamedFrames) + " more" : "";
    const std::string what = count == 1 ? stills.skippedNames + " cannot be decoded"
                                        : std::to_string(count) + " images cannot be decoded (" +
                                              stills.skippedNames + more + ")";
    return what + " (" + stills.firstReason + "); the image before " + (count == 1 ? "it is" : "each is") +
           " shown in its place";
}

void NoteSkipped(StillsState* stills, const std::string& path, const std::string& reason) {
    if (stills->skipped == 0) {
        // The video source's reasons start with the name; it is given once, before.
        const std::string named = path + ": ";
        stills->firstReason = reason.compare(0, named.size(), named) == 0 ? reason.substr(named.size()) : reason;
    }
    if (stills->skipped < kNamedFrames) stills->skippedNames += (stills->skipped == 0 ? "" : ", ") + path;
    ++stills->skipped;
}

// Decodes PATH as one image alone into IMAGE's pixels: Frame, or why not.
FrameRead DecodeImage(const std::string& path, const VideoOptions& options, FrameSource* image,
                      std::string* reason) {
    if (!OpenVideoSource(path, options, image, reason)) {
        return StopRequested() ? FrameRead::Interrupted : FrameRead::Failed;
    }
    const FrameRead read = ReadNextFrame(image, reason);
    if (read == FrameRead::End && reason->empty()) *reason = "it holds no picture";
    return read;
}

// The first frame was decoded at open; each later one is its own image,
// or the one before it held when it cannot be decoded.
FrameRead ReadStill(FrameSource* source, std::string* problem) {
    const int64_t index = source->loaded + 1;
    StillsState* stills = StateOf<StillsState>(source);
    problem->clear();
    if (index > 0) {
        const std::string& path = stills->paths[static_cast<size_t>(index)];
        FrameSource image;
        std::string reason;
        const FrameRead read = DecodeImage(path, stills->each, &image, &reason);
        if (read == FrameRead::Frame && image.width == source->width && image.height == source->height) {
            stills->shown.swap(image.pixels);
        } else if (read != FrameRead::Interrupted) {
            NoteSkipped(stills, path, read == FrameRead::Frame ? "it came out at another size" : reason);
            source->tail = SkipSummary(*stills);
        }
        CloseSource(&image);
        if (read == FrameRead::Interrupted) return read;
    }
    source->pixels = stills->shown;
    return FrameRead::Frame;
}

const SourceReader kStillsReader = {ReadStill};

// The images --start, --duration and --to keep, [*FIRST, *LAST) of COUNT
// at RATE / SCALE a second; false with REASON when none is left.
bool Trim(int64_t count, const VideoOptions& asked, int32_t rate, int32_t scale, int64_t* first, int64_t* last,
          std::string* reason) {
    const TimeBase microseconds = {1, 1000000};
    *first = OutputFramesBefore(asked.startMicroseconds, microseconds, rate, scale);
    *last = count;
    if (asked.durationMicroseconds >= 0) {
        const int64_t stop = asked.startMicroseconds + asked.durationMicroseconds;
        *last = std::min(count, OutputFramesBefore(stop, microseconds, rate, scale));
    }
    if (*first >= count) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.2f s", double(count) * scale / rate);
        *reason = std::string("--start is at or past the end of the images (") + seconds + ")";
        return false;
    }
    if (*last <= *first) {
        *reason = "no image's time falls between --start and the end asked";
        return false;
    }
    return true;
}

}  // namespace

bool OpenStillsSource(const InputRequest& request, FrameSource* source, std::string* error) {
    const VideoOptions& asked = request.video;
    const bool rateGiven = asked.fpsRate > 0 && asked.fpsScale > 0;
    const int32_t rate = rateGiven ? asked.fpsRate : kStillsRate;
    const int32_t scale = rateGiven ? asked.fpsScale : 1;
    const std::string name = "the " + std::to_string(request.stills.size()) + " images";
    int64_t first = 0;
    int64_t last = 0;
    std::string reason;
    if (!Trim(static_cast<int64_t>(request.stills.size()), asked, rate, scale, &first, &last, &reason)) {
        *error = name + ": " + reason;
        return false;
    }
    // The first image shown is opened as one image alone, untrimmed; its
    // reason names it.
    VideoOptions one = asked;
    one.fpsRate = rate;
    one.fpsScale = scale;
    one.startMicroseconds = 0;
    one.durationMicroseconds = -1;
    const std::string& firstPath = request.stills[static_cast<size_t>(first)];
    FrameSource image;
    const FrameRead read = DecodeImage(firstPath, one, &image, &reason);
    if (read != FrameRead::Frame) {
        const std::string named = firstPath + ": ";
        *error = reason.compare(0, named.size(), named) == 0 ? reason : named + reason;
        CloseSource(&image);
        return false;
    }
    std::shared_ptr<StillsState> stills(new (std::nothrow) StillsState);
    if (stills == nullptr) {
        *error = name + ": out of memory";
        CloseSource(&image);
        return false;
    }
    stills->paths.assign(request.stills.begin() + first, request.stills.begin() + last);
    stills->each = one;
    stills->each.width = image.width;
    stills->each.height = image.height;
    StartSource(source, &kStillsReader, stills, name);
    source->width = image.width;
    source->height = image.height;
    source->rate = rate;
    source->scale = scale;
    source->knownFrames = source->expectedFrames = last - first;
    source->walked = true;  // the reads end at the count, and the last says what was skipped
    stills->shown.swap(image.pixels);
    source->pixels = stills->shown;  // a frame's buffer, which reading ahead needs to start
    CloseSource(&image);
    return true;
}

StillProbe CheckStillInput(const std::string& path, bool verbose, std::string* error) {
    if (NamesSequence(path)) {
        *error = path + ": a name with %d in it reads as a numbered sequence, which cannot be one of several "
                        "inputs; rename the file";
        return StillProbe::NotStill;
    }
    // Probing a pipe would take what it holds.
    if (NamesDeviceOrPipe(path)) {
        *error = path + " is not a file (a folder, pipe or device); several inputs are still image files";
        return StillProbe::NotStill;
    }
    std::string reason;
    const StillProbe kind = ProbeStillImage(path, verbose, &reason);
    if (kind == StillProbe::Unreadable) *error = path + ": " + reason;
    if (kind == StillProbe::NotStill) {
        *error = path + " is not a still image (" + reason +
                 "); several inputs must each be one picture: png, jpeg, bmp, webp, ...";
    }
    return kind;
}
