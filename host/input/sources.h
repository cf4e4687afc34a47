// Opening each kind of input as a frame source. Every open checks the
// input's header (and, for a regular file, walks it for the count) before
// anything is written anywhere; false comes with a one-line reason that
// names the input, and leaves nothing open.
#pragma once

#include <string>

#include "host/input/frame_source.h"
#include "host/input/input_request.h"
#include "host/input/video/still_probe.h"

// A Y4M stream read by our own reader (y4m_source.cpp).
bool OpenY4mSource(const std::string& path, FrameSource* source, std::string* error);
// Raw bgr24 frames of the size and rate given (raw_source.cpp).
bool OpenRawSource(const std::string& path, const RawFormat& format, FrameSource* source, std::string* error);
// The built-in clip of "rozove demo" (demo_source.cpp).
void OpenDemoSource(FrameSource* source);
// Any video through FFmpeg's libraries (video/video_source.cpp); in a build
// without them (VideoInputBuilt() false) it refuses.
bool OpenVideoSource(const std::string& path, const VideoOptions& options, FrameSource* source, std::string* error);
bool VideoInputBuilt();
// "libavformat 59.27.100, ..." as the video library loads them; false with
// the reason where it does not load (or the build has none).
bool VideoLibraryVersions(std::string* versions);
// Whether PATH is one still picture, asked of FFmpeg's libraries without
// decoding it (video/still_probe.h); a build without them says NotStill.
StillProbe ProbeStillImage(const std::string& path, bool verbose, std::string* reason);
// Several still images, one frame each, in the order REQUEST gives them
// (stills_source.cpp, over the video source).
bool OpenStillsSource(const InputRequest& request, FrameSource* source, std::string* error);
// Whether PATH can be one of several inputs: Still; NotStill for a pipe, a
// folder, a numbered pattern or no picture; Unreadable when it is missing
// or cannot be read. Anything but Still comes with a one-line ERROR that
// names PATH.
StillProbe CheckStillInput(const std::string& path, bool verbose, std::string* error);

// The source for what the user asked (open_input.cpp): raw frames with a
// format given; several still images; our Y4M reader for Y4M taken as it
// is; FFmpeg's libraries for any other video and for Y4M to be scaled or
// resampled.
bool OpenInputSource(const InputRequest& request, FrameSource* source, std::string* error);
