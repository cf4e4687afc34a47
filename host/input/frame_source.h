// Where an export's frames come from: a Y4M stream, raw bgr24 frames, any
// video through FFmpeg's libraries (Linux build) or the built-in demo clip,
// behind one record. Frames are read once, in order, into the one buffer
// the record holds, already in the host frame layout; each read answers
// with a FrameRead and, when there is no frame, why.
//
// The frame count: a regular Y4M or raw file is walked once before the
// export (one frame header read and one seek per frame), so the count is
// known and a damaged tail is found before the output is touched. A pipe
// cannot be walked ahead, so its count stays unknown (knownFrames = -1)
// and the job learns the end when the next frame cannot be read. FFmpeg's
// decoder counts what it can (a file's packets, a pipe's header) and holds
// to it: it never delivers more, and fewer end in Damaged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/common/frame_read.h"
#include "host/input/input_stream.h"
#include "host/input/y4m_reader.h"

enum class SourceKind {
    Demo,
    Y4m,
    RawBgr,
    Video,
};

struct VideoDecoder;

struct FrameSource {
    SourceKind kind;
    InputStream input;
    Y4mHeader y4m;            // for Y4M: the stream's header
    VideoDecoder* video;      // for Video: the decoder
    int32_t width;
    int32_t height;
    int32_t rate;
    int32_t scale;
    int64_t knownFrames;      // complete frames, -1 while unknown
    int64_t expectedFrames;   // for the progress bar: knownFrames, or -1
    std::string description;  // what the input is, for messages (the video's stream, say)
    bool variableRate;        // the video's frames come at irregular times
    int64_t loaded;           // index of the frame in `pixels`, -1 before the first
    std::vector<uint8_t> planes;  // one Y4M frame as read
    std::vector<uint8_t> pixels;  // the current frame, host layout
    // For a counted file: what ends it before the stream does (a cut-off or
    // damaged frame), found by the walk; the read after the last complete
    // frame answers Damaged with it. Empty when the file ends cleanly.
    std::string tail;
};

// Options for FFmpeg input: the size and rate to convert to (0: as the video has it).
struct VideoRequest {
    int32_t width;
    int32_t height;
    int32_t fpsRate;
    int32_t fpsScale;
    bool verbose;
};

// For every source: the record emptied for KIND; the bytes a host frame of
// WIDTH x HEIGHT needs, 0 above the cap every source shares (1 GiB); the
// text that refuses such a frame; and the frame buffer allocated, false with
// ERROR when memory is short.
void StartSource(FrameSource* source, SourceKind kind);
size_t FrameBytes(int32_t width, int32_t height);
std::string TooLarge(int32_t width, int32_t height);
bool Allocate(std::vector<uint8_t>* buffer, uint64_t bytes, std::string* error);

// Open the source and check its header; nothing is read past the header
// except, for a regular file, the frame headers that give the count.
bool OpenY4mSource(const std::string& path, FrameSource* source, std::string* error);
bool OpenRawSource(const std::string& path, int32_t width, int32_t height, int32_t rate, int32_t scale,
                   FrameSource* source, std::string* error);
void OpenDemoSource(FrameSource* source);
// Only in a build with FFmpeg's libraries (VideoInputBuilt()).
bool OpenVideoSource(const std::string& path, const VideoRequest& request, FrameSource* source,
                     std::string* error);
bool VideoInputBuilt();
void CloseSource(FrameSource* source);

// Reads the next frame into `pixels`. Anything but Frame ends the frames;
// PROBLEM then says why for Damaged and Failed. After the last counted
// frame one more read tells whether the input really ended there.
FrameRead ReadNextFrame(FrameSource* source, std::string* problem);
