// Whether a file is one still picture (png, jpeg, bmp, webp, tiff, ...) as
// FFmpeg's libraries see it: the test that lets several files stand as the
// inputs of one export, each one frame. It reads only as far as the
// libraries need to name the file's format, decoding nothing, so that a
// long list is checked quickly before any output is touched.
#pragma once

#include <string>

enum class StillProbe {
    Still,       // one picture in a format the libraries read as an image
    NotStill,    // a video, a sound file, an animation, or nothing they know
    Unreadable,  // missing, not allowed, empty or cut short: REASON says which
};

// PATH's kind, with a REASON for anything but Still ("a video, sound or
// animation file: mov,mp4,m4a,3gp,3g2,mj2", "No such file or directory").
// The libraries' log goes to stderr when VERBOSE.
StillProbe ProbeStill(const std::string& path, bool verbose, std::string* reason);

// Whether the libraries' demuxer NAME reads still images: image2 (a
// numbered sequence, or a file by its extension), image2pipe, or one of
// the per-format *_pipe readers that take one picture by its content.
bool IsStillDemuxer(const std::string& name);
