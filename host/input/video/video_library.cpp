// The one export of rozove_video.so (video_library.h): the decoder's calls
// and the libraries' versions, once the host's stop flag is handed to the
// decoder.
#include "host/input/video/video_library.h"

#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libswscale/swscale.h>
}

namespace {

// Asked of the libraries themselves, not of the headers built against:
// the system may carry newer ones.
std::string LibraryVersions() {
    const struct {
        const char* name;
        unsigned version;
    } libraries[] = {{"libavformat", avformat_version()},
                     {"libavcodec", avcodec_version()},
                     {"libswscale", swscale_version()},
                     {"libavutil", avutil_version()}};
    std::string text;
    for (const auto& library : libraries) {
        if (!text.empty()) text += ", ";
        text += std::string(library.name) + " " + std::to_string(AV_VERSION_MAJOR(library.version)) + "." +
                std::to_string(AV_VERSION_MINOR(library.version)) + "." +
                std::to_string(AV_VERSION_MICRO(library.version));
    }
    return text;
}

const VideoLibrary kLibrary = {OpenVideo, ReadVideoFrame, VideoFrameTime, CloseVideo, ProbeStill, LibraryVersions};

}  // namespace

extern "C" const VideoLibrary* RozoveVideoLibrary(bool (*stopRequested)()) {
    SetVideoStopCheck(stopRequested);
    return &kLibrary;
}
