// YUV4MPEG2 (Y4M) streams: the stream header, the per-frame header and the
// conversion of one frame's planes into the host frame layout.
//
// A Y4M stream is one header line "YUV4MPEG2 W.. H.. F..:.. ..." followed by
// frames, each a line starting with "FRAME" and then the planes Y, Cb, Cr
// (Y only for mono) at 8 bits. We take 4:2:0 (C420, C420jpeg, C420paldv,
// C420mpeg2; the chroma siting differs but is below what a gray GIF shows),
// 4:2:2, 4:4:4 and mono. Ip is progressive, and so is I? (unknown), as
// ffmpeg reads it; It, Ib and Im carry two fields woven into each frame,
// which are taken as they are, as FFmpeg's libraries take an interlaced
// stream in any container, so that a file and a pipe of the same frames
// give the same GIF; the header says so. The colour range comes from
// ffmpeg's XCOLORRANGE=FULL|LIMITED; without it the range is limited, as
// the format assumes. Y4M names no matrix: a frame is converted by the
// rule for untagged video (UntaggedMatrix), as FFmpeg's route converts it.
#pragma once

#include <cstdint>
#include <string>

#include "host/input/yuv_to_bgr.h"

enum class ChromaLayout {
    Mono,
    Yuv420,
    Yuv422,
    Yuv444,
};

struct Y4mHeader {
    int32_t width;
    int32_t height;
    int32_t rate;   // frames per second = rate / scale
    int32_t scale;
    ChromaLayout chroma;
    ColourRange range;
    bool interlaced;  // It, Ib or Im: each frame holds two fields woven together
};

// The stream's first line starts with this signature and a blank.
extern const char kY4mSignature[];

// Largest header or frame-header line we accept (ffmpeg writes ~80 bytes).
constexpr size_t kY4mMaxLineBytes = 65536;

// Parses the stream header line without its line end. False with a one-line
// reason when the stream is not one we can read.
bool ParseY4mHeader(const std::string& line, Y4mHeader* header, std::string* error);

// Checks one frame header line without its line end: "FRAME", optionally
// followed by a blank and parameters (which we ignore).
bool IsY4mFrameHeader(const std::string& line);

// Bytes of one frame's planes, without its header line.
uint64_t Y4mFrameBytes(const Y4mHeader& header);

// Converts one frame's planes into 24-bit BGR, rows bottom-up, each row
// padded to 4 bytes (the host frame layout); padding bytes are left as they are.
void ConvertY4mFrame(const Y4mHeader& header, const uint8_t* planes, uint8_t* frame);
