// The one export of rozove_video.so (video_library.h): the decoder's calls,
// once the host's stop flag is handed to the decoder.
#include "host/input/video/video_library.h"

namespace {

const VideoLibrary kLibrary = {OpenVideo, ReadVideoFrame, VideoFrameTime, CloseVideo, ProbeStill};

}  // namespace

extern "C" const VideoLibrary* RozoveVideoLibrary(bool (*stopRequested)()) {
    SetVideoStopCheck(stopRequested);
    return &kLibrary;
}
