// A build without FFmpeg's libraries (the Windows build) reads Y4M and raw
// frames only: the video source refuses, and says so.
#include "host/input/sources.h"

bool VideoInputBuilt() {
    return false;
}

bool OpenVideoSource(const std::string& path, const VideoOptions&, FrameSource*, std::string* error) {
    *error = path + ": this build reads only Y4M and raw frames";
    return false;
}

bool VideoLibraryVersions(std::string* versions) {
    *versions = "none in this build";
    return false;
}

StillProbe ProbeStillImage(const std::string&, bool, std::string* reason) {
    *reason = "this build reads only Y4M and raw frames";
    return StillProbe::NotStill;
}
