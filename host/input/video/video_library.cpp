// The one export of rozove_video.so (video_library.h): the decoder's calls,
// and the host's stop flag passed in, which StopRequested here answers for
// the decoder in place of the host's own.
#include "host/input/video/video_library.h"

#include "host/common/stop_signal.h"

namespace {

bool (*hostStopRequested)() = nullptr;

const VideoLibrary kLibrary = {OpenVideo, ReadVideoFrame, VideoFrameTime, CloseVideo, ProbeStill};

}  // namespace

bool StopRequested() {
    return hostStopRequested != nullptr && hostStopRequested();
}

extern "C" const VideoLibrary* RozoveVideoLibrary(bool (*stopRequested)()) {
    hostStopRequested = stopRequested;
    return &kLibrary;
}
