// Where an export's frames come from: a Y4M stream, raw bgr24 frames or the
// built-in demo clip, behind one record. Frames are read once, in order,
// into the one buffer the record holds, already in the host frame layout.
//
// The frame count: a regular file is walked once before the export (one
// frame header read and one seek per frame), so the count is known and a
// damaged tail is found before the output is touched. A pipe cannot be
// walked ahead, so its count stays unknown (knownFrames = -1) and the job
// learns the end when the next frame cannot be read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/input_stream.h"
#include "host/y4m_reader.h"

enum class SourceKind {
    Demo,
    Y4m,
    RawBgr,
};

struct FrameSource {
    SourceKind kind;
    InputStream input;
    Y4mHeader y4m;            // for Y4M: the stream's header
    int32_t width;
    int32_t height;
    int32_t rate;
    int32_t scale;
    int64_t knownFrames;      // complete frames, -1 while unknown
    int64_t loaded;           // index of the frame in `pixels`, -1 before the first
    std::vector<uint8_t> planes;  // one Y4M frame as read
    std::vector<uint8_t> pixels;  // the current frame, host layout
    // Why the frames end before the stream does (a cut-off or damaged
    // frame), empty when they end cleanly; and whether a stop request
    // ended a read.
    std::string problem;
    bool interrupted;
};

// Open the source and check its header; nothing is read past the header
// except, for a regular file, the frame headers that give the count.
bool OpenY4mSource(const std::string& path, FrameSource* source, std::string* error);
bool OpenRawSource(const std::string& path, int32_t width, int32_t height, int32_t rate, int32_t scale,
                   FrameSource* source, std::string* error);
void OpenDemoSource(FrameSource* source);
void CloseSource(FrameSource* source);

// Reads the next frame into `pixels`. False when there is none: at a clean
// end `problem` stays empty and `interrupted` false.
bool ReadNextFrame(FrameSource* source);
